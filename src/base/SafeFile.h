#pragma once
// Writes files the user or the terminal relies on so that a failure leaves them as they were, and opens only regular
// files, without waiting on a FIFO or device. Qt Core only; its OS calls are in SafeFilePosix.cpp and SafeFileWin.cpp.

#include "base/SystemError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>

#include <optional>

class SafeFile
{
public:
    enum class Mode
    {
        // The new content takes the old one's place only once it is complete and on disk: written to a temporary
        // file beside it and renamed over it, or, where the folder forbids new files, written in place with the old
        // bytes kept to put back.
        Replace,
        // New content goes after the old; a failure cuts the file back to its former length.
        Append,
    };

    explicit SafeFile(const QString& path);
    // An open write that was not committed is rolled back.
    ~SafeFile();
    SafeFile(const SafeFile&) = delete;
    SafeFile& operator=(const SafeFile&) = delete;

    // After a failure of any of these three the file is as it was before open(); nothing is left to roll back.
    [[nodiscard]] std::optional<SystemError> open(Mode mode);
    [[nodiscard]] std::optional<SystemError> write(const char* data, qint64 size);
    // Syncs the new content to disk and, when replacing, puts it in the old file's place.
    [[nodiscard]] std::optional<SystemError> commit();
    // Append only, for a caller that learns only later whether the new content may stay: syncs it to disk as commit()
    // does but keeps the file open, so that rollback() can still take it back; commit() then only closes it. After a
    // failure the file is as it was before open().
    [[nodiscard]] std::optional<SystemError> prepare();
    // Gives up an open write: the file goes back to what it was before open(). Returns why an appended file could not
    // be cut back; the other ways back are best effort, as the failure that led to them is the one reported.
    std::optional<SystemError> rollback();

    // Where writeFile() stopped: at the open, when nothing was written, or at the write or its commit.
    enum class Step
    {
        Open,
        Write,
    };
    struct WriteFailure
    {
        Step step = Step::Open;
        SystemError error;
    };
    // All of bytes written to path in mode and committed, for a small file written at once; after a failure the file
    // is as it was.
    [[nodiscard]] static std::optional<WriteFailure> writeFile(const QString& path, QByteArrayView bytes, Mode mode);

    // Opens path into file, refusing folders, FIFOs and devices. mode is ReadOnly, or WriteOnly with Truncate or
    // Append, the file created when missing; Unbuffered is passed on. A file without any write permission is not
    // opened for writing, not even by an administrator.
    [[nodiscard]] static std::optional<SystemError> openRegular(QFile& file, const QString& path,
                                                                QIODevice::OpenMode mode);
    // True when path names the file that opened holds (the same file however the path is spelt).
    static bool isSameFile(const QFile& opened, const QString& path);
    // Removes what a Replace write interrupted by a crash left beside path: "<name>.<hex>.tmp", as open() names them.
    // No other file is touched.
    static void removeStaleTemporaries(const QString& path);
    // Puts an appended file back to an earlier length, on disk; oldLength < 0 means it did not exist: it is emptied,
    // then removed. A file already at that length, or missing, is left alone.
    [[nodiscard]] static std::optional<SystemError> restoreLength(const QString& path, qint64 oldLength);

private:
    enum class State
    {
        Closed,
        Temporary,
        InPlace,
        Appending,
        Prepared, // appended and synced, still open
    };

    std::optional<SystemError> openReplacement();
    // Closes the file and removes it when open() created it.
    void abandon();
    // Truncates an appended file to its old length, syncs and closes it.
    std::optional<SystemError> cutBack();
    void reset();

    QString m_path;
    QString m_target; // the file written: a symbolic link's target, so the link stays
    QString m_temporaryPath;
    int m_fd = -1;
    State m_state = State::Closed;
    bool m_created = false; // the file did not exist before open(): a rollback removes it
    qint64 m_oldLength = 0;
    QByteArray m_oldBytes; // in-place replacement: the bytes a rollback puts back
    qint64 m_written = 0;
};
