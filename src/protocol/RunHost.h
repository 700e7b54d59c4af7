#pragma once
// What the upload run needs of the main window: the Running flag and the status displays.
// Implemented by the main window; tests use a recording fake.

#include "protocol/RunningFlag.h"

#include <QString>

#include <cstdint>

class RunHost : public RunningFlag
{
public:
    // mode 0 replaces the status text, 1 appends a line after CR LF, any other mode does nothing.
    virtual void ShowStatus(std::int16_t mode, const QString& text) = 0;
    // Replaces the status text directly (link error report, staging write error of the simple protocol).
    virtual void setStatusText(const QString& text) = 0;
    virtual void SetCommState(std::int16_t mode) = 0;

    virtual void setProgressMax(int max) = 0;
    virtual void setProgressValue(int value) = 0;
    virtual void setProgressVisible(bool visible) = 0;

    virtual void setFileCaption(const QString& caption) = 0;
    virtual void setBusyCursor(bool busy) = 0;
    // From an accepted file-name frame to the final answer the PC must not go to sleep; idle polling never holds it.
    virtual void setKeepAwake(bool on) = 0;
    virtual void beep() = 0;

    // The displays may follow the calls above at screen rate rather than call by call; this brings them up to
    // date at once. The run calls it before each pause (WaitTicks); starting and ending a run (SetCommState) do it
    // as well.
    virtual void flushDisplays() = 0;
    // The run calls it before each reply wait (WaitReply), right after a send, when the terminal takes its time:
    // displays that are nearly due are brought up to date now rather than while its reply waits to be read. Does
    // nothing by default.
    virtual void flushDueDisplays() {}
    // The terminal was asked (for its clock or its file) and the wait ended without an answer or a link error: the
    // copy polls and nothing fails at the moment. Does nothing by default.
    virtual void idlePoll() {}
};
