#pragma once
// What one cycle leaves behind besides the upload file: its lines in LOG.TXT, the failure it is remembered by and its
// line in the day's history, and the look back at a cycle a kill left unanswered. Reaches the files only through Output
// and the time only through Clock.

#include "protocol/Clock.h"
#include "protocol/Output.h"
#include "protocol/RunHost.h"

#include <QString>

#include <cstdint>

class CycleAccount
{
public:
    CycleAccount(RunHost& host, Clock& clock, Output& output);

    // Once the run's link has opened: looks back at a cycle a kill left unanswered, and shows what it found.
    void recoverCycle();

    // A new cycle: no terminal file, failure or mail line yet.
    void begin();

    // A cycle's error: shown, and kept for its line in the history. A later one replaces it.
    void showFailure(std::int16_t mode, const QString& text);
    // Kept for the history without being shown (shown another way, or already once for the outage it belongs to).
    void setFailure(const QString& text) { m_failure = text; }
    const QString& failure() const { return m_failure; }

    // The terminal's name as its frame had it.
    void setTerminalName(const QString& name) { m_terminalName = name; }
    void setMailResult(const QString& text) { m_mailResult = text; }
    const QString& mailResult() const { return m_mailResult; }

    void writeLog(const QString& reply, int recordCount);
    // The cycle's line in the history, and the output's note on it in the status box.
    void record(int announcedCount, int receivedCount, const QString& uploadPath, bool acknowledged);

private:
    RunHost& m_host;
    Clock& m_clock;
    Output& m_output;

    QString m_terminalName;
    QString m_mailResult;
    QString m_failure;
    // The start of the log lines of the current second (see writeLog).
    QString m_logPrefix;
    qint64 m_logSecond = 0;
    int m_logOffset = 0;
};
