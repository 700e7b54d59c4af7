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

    // Whether the upload file holds entry's whole block where entry says.
    static bool holdsBlock(const JournalEntry& entry);
    // Whether the upload file's bytes from entry's old length up to length are the beginning of block, entry's own
    // block as the staging file still makes it, or zeros where they did not reach the disk: only then are they this
    // program's torn write and not another writer's lines.
    static bool tailIsOwnBlock(const JournalEntry& entry, qint64 length, const std::optional<QByteArray>& block);

    static QByteArray encode(const JournalEntry& entry);
    static std::optional<JournalEntry> decode(const QByteArray& bytes);

private:
    QString m_path;
};
