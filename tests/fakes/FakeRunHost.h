#pragma once
// Records what a run shows instead of showing it: the status label's text as it would stand, every status
// call, the light/button state, progress bar, file caption, cursor and beeps. Holds Running.

#include "protocol/RunHost.h"

#include <QList>
#include <QString>
#include <QStringList>

class FakeRunHost : public RunHost
{
public:
    bool isRunning() const override { return running; }
    void setRunning(bool value) override
    {
        running = value;
        runningChanges.append(value);
    }

    void ShowStatus(std::int16_t mode, const QString& text) override
    {
        if (mode == 0) {
            status = text;
        } else if (mode == 1) {
            status = status + QStringLiteral("\r\n") + text;
        } else {
            return;
        }
        record(QStringLiteral("status%1 ").arg(mode) + text);
    }
    void setStatusText(const QString& text) override
    {
        status = text;
        record(QStringLiteral("statusText ") + text);
    }
    void setKeepAwake(bool on) override
    {
        if (on != keepAwake) {
            keepAwake = on;
            record(QStringLiteral("keepAwake %1").arg(on ? 1 : 0));
        }
    }
    void SetCommState(std::int16_t mode) override
    {
        commStates.append(mode);
        record(QStringLiteral("SetCommState %1").arg(mode));
    }

    void setProgressMax(int max) override { progressMaxValue = max; }
    void setProgressValue(int value) override
    {
        progressValue = value;
        progressValues.append(value);
    }
    void setProgressVisible(bool visible) override
    {
        progressVisible = visible;
        progressVisibility.append(visible);
    }

    void setFileCaption(const QString& caption) override { fileCaption = caption; }
    void setBusyCursor(bool busy) override
    {
        busyCursor = busy;
        busyCursorChanges.append(busy);
    }
    void beep() override
    {
        ++beeps;
        record(QStringLiteral("beep"));
    }
    // Everything above is recorded at once; nothing waits to be shown. With journalFlushes the journal tells where
    // the run asked for the displays to be brought up to date.
    void flushDisplays() override { journalFlush(QStringLiteral("flushDisplays")); }
    void flushDueDisplays() override { journalFlush(QStringLiteral("flushDueDisplays")); }
    void idlePoll() override { ++idlePolls; }

    // lblStatus split into its lines.
    QStringList statusLines() const { return status.split(QStringLiteral("\r\n")); }

    bool running = true;
    QList<bool> runningChanges;
    QString status;
    bool keepAwake = false;
    QStringList statusCalls; // "status0 text", "status1 text", "statusText text", "SetCommState 0", "beep"
    QList<std::int16_t> commStates;
    int progressMaxValue = 0;
    int progressValue = 0;
    QList<int> progressValues;
    bool progressVisible = false;
    QList<bool> progressVisibility;
    QString fileCaption;
    bool busyCursor = false;
    QList<bool> busyCursorChanges;
    int beeps = 0;
    int idlePolls = 0;
    // Optional shared journal (with FakeLink) to assert the order across fakes.
    QStringList* journal = nullptr;
    bool journalFlushes = false;

private:
    void journalFlush(const QString& entry)
    {
        if (journal && journalFlushes) {
            journal->append(entry);
        }
    }
    void record(const QString& entry)
    {
        statusCalls.append(entry);
        if (journal) {
            journal->append(entry);
        }
    }
};
