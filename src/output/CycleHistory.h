#pragma once
// The day's history: one CSV line per cycle beside the program, cp932 with CR LF for Excel on Japanese Windows, rolled
// over into one older file; lines the file cannot take (held open by Excel) wait in memory, in order. Qt Core and base
// only; a failure here never fails a cycle.

#include "base/SystemError.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QStringList>
#include <QString>
#include <QTimer>

#include <chrono>
#include <optional>

struct CycleHistoryEntry
{
    QDateTime time;       // the PC's local time at the end of the cycle
    QString terminalFile; // the file name the terminal announced, as decoded from its frame
    int announcedCount = 0;
    int receivedCount = 0;
    QString answer;     // the final answer to the terminal: "ACK" or "CAN"
    QString uploadFile; // the upload file's full path
    QString mailResult; // the mail's status line; empty when mail is off
    QString failure;    // why the cycle failed; empty after "ACK"
};

class CycleHistory
{
public:
    // Small enough for a text editor to open at once, large enough for weeks of an office's cycles.
    static constexpr qint64 RollOverBytes = 1024 * 1024;
    // Lines kept while the file cannot be written: more than a busy day's, since a lasting failure is two lines.
    static constexpr int MaxHeldLines = 1000;
    // While lines wait, the file is tried again this often, so that an idle program catches up as well.
    static constexpr std::chrono::milliseconds RetryInterval = std::chrono::seconds(10);

    enum class State
    {
        Written,
        // Lines wait for the file.
        Holding,
        // MaxHeldLines wait and newer ones are only counted: the held ones are the part nothing else shows any more,
        // while the window and the tray show the present. A line in the file says how many are missing.
        Dropping,
    };

    // path is the history file; the older one lies beside it (olderPath).
    explicit CycleHistory(const QString& path, qint64 rollOverBytes = RollOverBytes);
    // One last try for lines still waiting.
    ~CycleHistory();
    CycleHistory(const CycleHistory&) = delete;
    CycleHistory& operator=(const CycleHistory&) = delete;

    // Adds one line after any that wait, and has them on disk before returning (no buffer kept between cycles while
    // the file can be written), so a crash or a switched off PC loses no earlier line. A file about to pass the bound
    // first becomes the older file, replacing the one before. Never throws; on failure the file is as it was, the
    // line waits (state()), and the error is for a status line at most.
    std::optional<SystemError> append(const CycleHistoryEntry& entry) noexcept;
    // Tries the waiting lines now; the retry timer and the end of the program call it.
    void flush() noexcept;
    State state() const;

    const QString& path() const { return m_path; }
    // Tests shorten the retry; the program keeps RetryInterval.
    void setRetryInterval(std::chrono::milliseconds interval) { m_retry.setInterval(interval); }
    // History.csv -> History.old.csv.
    static QString olderPath(const QString& path);
    // The header row and one entry's row, CR LF ended, in cp932; fields quoted only where CSV needs it.
    static QByteArray headerLine();
    static QByteArray entryLine(const CycleHistoryEntry& entry);
    // One row of fields as Excel reads it: cp932, CR LF ended, a field quoted only where CSV needs it.
    static QByteArray csvLine(const QStringList& fields);
    // The row that stands for lines that could not be kept: the first one's time and how many there were.
    static QByteArray droppedLine(const QDateTime& firstTime, int count);

private:
    // The waiting lines, then line (if any), in one append; on success nothing waits any more.
    std::optional<SystemError> writeWaiting(const QByteArray& line);
    void hold(const QByteArray& line, const QDateTime& time);
    std::optional<SystemError> appendLine(const QByteArray& line);
    void rollOver();

    QString m_path;
    qint64 m_rollOverBytes;
    QList<QByteArray> m_held;
    int m_dropped = 0;
    QDateTime m_firstDropped;
    QTimer m_retry;
};
