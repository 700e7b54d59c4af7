#pragma once
// The cycle journal beside the program: what the upload file held before a cycle's write, what the write adds and
// whether its mail was accepted. On disk before the upload file is touched and until the terminal has its final
// answer, so that a start after a kill can tell a stored block from a torn one. Qt Core only.

#include "base/SystemError.h"

#include <QByteArray>
#include <QString>

#include <optional>

struct JournalEntry
{
    QString uploadPath;
    bool append = true;
    // The upload file's length before the write; -1 when it did not exist. Append mode only.
    qint64 oldLength = -1;
    // Length and SHA-256 of the block appended (append mode) or of the whole file (overwrite mode).
    qint64 blockLength = 0;
    QByteArray digest;
    bool mailAccepted = false;

    bool operator==(const JournalEntry&) const = default;
};

class CycleJournal
{
public:
    enum class State
    {
        Absent,
        // Torn, or not a journal this program wrote.
        Unreadable,
        Present,
    };
    struct Reading
    {
        State state = State::Absent;
        JournalEntry entry;
    };

    explicit CycleJournal(QString path);

    const QString& path() const { return m_path; }

    Reading read() const;
    // Replaces the journal, synced to disk.
    [[nodiscard]] std::optional<SystemError> write(const JournalEntry& entry);
    // Removes it, synced to disk; an absent journal is no error.
    [[nodiscard]] std::optional<SystemError> clear();

    static QByteArray encode(const JournalEntry& entry);
    static std::optional<JournalEntry> decode(const QByteArray& bytes);

private:
    QString m_path;
};
