#pragma once
// One writer at a time for an upload file: a hold that copies of the program (on this PC, or on others that share
// the save folder) take before they measure the file's length and keep until the cycle is settled, so that no copy
// appends between another's "length before" and its answer. A hidden lock file beside the upload file, which the
// system lets go if the holder dies. Other programs are not held off (Excel keeps its own share mode).

#include "base/SystemError.h"

#include <QString>

#include <chrono>

class UploadFileHold
{
public:
    // As long as a write waits for a file another program holds open.
    static constexpr auto Patience = std::chrono::milliseconds(1000);

    enum class Outcome
    {
        Held,
        // No lock file can be made beside the upload file (a drop share where the user may write the upload file but
        // create no other file): the write goes on without the hold, as it did before there was one.
        Unheld,
        // Another copy kept it past the patience; so does a lock file that refuses access (another user's, or one
        // being removed).
        HeldElsewhere,
        // The lock file could not be opened for another reason.
        Failed,
    };
    struct Taken
    {
        Outcome outcome = Outcome::Failed;
        SystemError error; // the system's reason, unless Held
    };

    UploadFileHold() = default;
    ~UploadFileHold();
    UploadFileHold(const UploadFileHold&) = delete;
    UploadFileHold& operator=(const UploadFileHold&) = delete;

    // Takes the hold of uploadPath, waiting up to patience while another copy has it.
    [[nodiscard]] Taken take(const QString& uploadPath, std::chrono::milliseconds patience = Patience);
    bool held() const { return m_handle != -1; }
    void release();

    // The lock file of uploadPath: ".<name>.lock" beside it.
    static QString lockPath(const QString& uploadPath);

private:
    QString m_lockPath;
    qintptr m_handle = -1;
};
