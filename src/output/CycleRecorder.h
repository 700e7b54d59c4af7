#pragma once
// What every ended cycle leaves for whoever looks at the program from outside its window: the day's history line
// (a failure repeated cycle after cycle is one line when it starts and one when it ends) and a notice for a listener
// such as the tray. No widgets; a failure here never fails a cycle.

#include "output/CycleHistory.h"
#include "output/OutageRule.h"
#include "protocol/Output.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

class CycleRecorder
{
public:
    // What one ended cycle means for a listener.
    struct CycleNotice
    {
        QDateTime time;
        OutageRule::Outcome outcome = OutageRule::Outcome::Stored;
        QString failure; // empty when stored
        // Started: this cycle's failure has lasted OutageRule::LastingCycles cycles. Ended: stored again after that.
        OutageRule::Notice notice = OutageRule::Notice::None;
        // As the cycle's history line has them: the terminal's file name, the records received, the upload file.
        QString terminalFile;
        int records = 0;
        QString uploadFile;
    };
    using CycleListener = std::function<void(const CycleNotice&)>;

    explicit CycleRecorder(const QString& historyPath);

    // One cycle's history line (OutageRule decides which get one), then the listener. Returns a line for the status
    // box when the history begins to lose lines, else nothing.
    QString record(const Output::CycleSummary& summary);
    // A line that is no cycle's, only its time and note: a condition said once a start rather than every cycle.
    void recordNote(const QDateTime& time, const QString& note);
    // The session ends and the process may not outlive the call: a failure still repeating gets its closing line,
    // and lines waiting for the history file one last try.
    void flush();

    // Each listener hears of every cycle, in the order they were added.
    void addCycleListener(CycleListener listener) { m_listeners.push_back(std::move(listener)); }

private:
    // The closing line of a failure repeated cycle after cycle, from its latest cycle.
    std::optional<SystemError> closeStreak(const OutageRule::Streak& streak);

    CycleHistory m_history;
    OutageRule m_outage;
    // The latest cycle of a repeated failure that got no line: the streak's closing line is written from it.
    std::optional<CycleHistoryEntry> m_lastRepeat;
    std::vector<CycleListener> m_listeners;
};
