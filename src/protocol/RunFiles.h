#pragma once
// The files one upload cycle writes: the staging file (beside the program) and the log file (in the save folder).
// Behind an interface so the run can be tested with forced I/O errors; DiskRunFiles is the real one.

#include "base/SystemError.h"

#include <QString>

#include <optional>

class RunFiles
{
public:
    virtual ~RunFiles() = default;
    // Creates or empties the staging file.
    virtual std::optional<SystemError> OpenStaging() = 0;
    // Creates or empties the log file at logPath.
    virtual std::optional<SystemError> OpenLog(const QString& logPath) = 0;
    // One line + CR LF in code page 932, on disk before this returns.
    virtual std::optional<SystemError> WriteStagingLine(const QString& line) = 0;
    // Best effort: a failing log never stops a transfer.
    virtual void WriteLogLine(const QString& line) = 0;
    // Closes whatever is open; harmless when nothing is.
    virtual void CloseAll() = 0;
};
