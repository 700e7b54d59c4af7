#pragma once
// Builds the upload file from the staging file, keeping the selected fields F1-F20 of every line.
// Works on cp932 bytes (a "," is never part of a double-byte character); reports through MessageSink, no widgets.

#include "base/SafeFile.h"
#include "config/Settings.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string_view>

class MessageSink;

class UploadFileWriter
{
public:
    using FieldFlags = std::array<std::int16_t, Settings::FieldCount>;

    // The upload lines a staging file makes, read from it once: their bytes, journalled by length and SHA-256 before
    // the same bytes are stored.
    struct Block
    {
        QByteArray lines;
        QByteArray digest;
    };
    // An append on stable storage that can still be taken back: commit() keeps it, rollback() cuts the upload file back
    // to its length before (removing a file the append created), and one dropped undecided is taken back.
    using HeldAppend = std::unique_ptr<SafeFile>;

    UploadFileWriter(MessageSink& messages, const QString& title);

    // The staging file's upload lines, to be stored at uploadPath (refused when that is the staging file itself);
    // after a failure a message box has been shown.
    std::optional<Block> render(const QString& stagingPath, const QString& uploadPath, const FieldFlags& fieldSelect);
    // The same lines, or nothing when the staging file cannot be read. No box: for a look back after a kill.
    static std::optional<QByteArray> renderQuietly(const QString& stagingPath, const FieldFlags& fieldSelect);

    // overWrite 1 replaces the upload file with lines, any other value appends them to it. True only once every line
    // is on stable storage, because the terminal may delete its data as soon as it is acknowledged. On failure the
    // upload file is as it was (the terminal sends the file again after "CAN", which must neither merge with a torn
    // line nor have lost an earlier file), a message box has been shown and the result is false.
    bool store(QByteArrayView lines, const QString& uploadPath, std::int16_t overWrite);
    // Appends lines as store() does, for a caller that learns only afterwards whether the terminal is told "ACK": the
    // lines are on stable storage when it returns, and stay undoable through what it returns. Null after a failure.
    [[nodiscard]] HeldAppend holdAppend(QByteArrayView lines, const QString& uploadPath);
    // render(), then store(). The staging file's lines end at CR LF.
    bool write(const QString& stagingPath, const QString& uploadPath, std::int16_t overWrite,
               const FieldFlags& fieldSelect);

    // Appends the kept fields of one line (given without its line end), joined by ",". Fields the line has are written
    // even when empty; fields it does not have are not, so no trailing "," is invented.
    static void appendSelectedFields(std::string_view line, const FieldFlags& fieldSelect, QByteArray& out);

    // A failed write's message: the description, then the file it concerns.
    static QString failureText(const QString& description, const QString& path);

private:
    // Shows failureText() in a box; returns false.
    bool fail(const QString& description, const QString& path);
    // render() without the digest.
    std::optional<QByteArray> renderLines(const QString& stagingPath, const QString& uploadPath,
                                          const FieldFlags& fieldSelect);
    // Opens uploadPath in mode and writes lines to it; null after a failure.
    std::unique_ptr<SafeFile> put(QByteArrayView lines, const QString& uploadPath, SafeFile::Mode mode);

    MessageSink& m_messages;
    QString m_title;
};
