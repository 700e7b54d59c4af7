#pragma once
// The day's history: one CSV line per cycle in a file beside the program, cp932 with CR LF so that Excel on Japanese
// Windows opens it as it stands. Bounded by rolling over into one older file. Qt Core and base only; a failure here
// never fails a cycle.

#include "base/SystemError.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

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

    // path is the history file; the older one lies beside it (olderPath).
    explicit CycleHistory(const QString& path, qint64 rollOverBytes = RollOverBytes);

    // Adds one line and has it on disk before returning (no buffer kept between cycles), so a crash or a switched off
    // PC loses no earlier line. A file about to pass the bound first becomes the older file, replacing the one before.
    // Never throws; on failure the file is as it was, and the error is for a status line at most.
    std::optional<SystemError> append(const CycleHistoryEntry& entry) noexcept;

    const QString& path() const { return m_path; }
    // History.csv -> History.old.csv.
    static QString olderPath(const QString& path);
    // The header row and one entry's row, CR LF ended, in cp932; fields quoted only where CSV needs it.
    static QByteArray headerLine();
    static QByteArray entryLine(const CycleHistoryEntry& entry);

private:
    std::optional<SystemError> appendLine(const QByteArray& line);
    void rollOver();

    QString m_path;
    qint64 m_rollOverBytes;
};
