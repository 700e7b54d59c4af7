#pragma once
// Builds the upload file from the staging file, keeping the selected fields F1-F20 of every line.
// Works on cp932 bytes (a "," is never part of a double-byte character); reports through MessageSink, no widgets.

#include "base/SafeFile.h"
#include "config/Settings.h"

#include <QByteArray>
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

    // The upload lines a staging file makes: their length in bytes and SHA-256.
    struct Block
    {
        qint64 length = 0;
        QByteArray digest;
    };

    UploadFileWriter(MessageSink& messages, const QString& title);

    // Reads the staging file as write() would, writing nothing; after a failure a message box has been shown.
    std::optional<Block> measure(const QString& stagingPath, const FieldFlags& fieldSelect);

    // The upload lines a staging file makes, in memory; nothing when it cannot be read. No box: for a look back after
    // a kill.
    static std::optional<QByteArray> render(const QString& stagingPath, const FieldFlags& fieldSelect);

    // overWrite 1 replaces the upload file, any other value appends to it. The staging file's lines end at CR LF.
    // True only once every line is on stable storage, because the terminal may delete its data as soon as it is
    // acknowledged. On failure the upload file is as it was (the terminal sends the file again after "CAN", which must
    // neither merge with a torn line nor have lost an earlier file), a message box has been shown and the result is
    // false.
    // holdAppend, in append mode: the new lines are on disk when this returns true but stay undoable until keepAppend()
    // or undoAppend(), for a caller that learns only afterwards whether the terminal is told "ACK". A held append
    // still undecided at the next write() or at destruction is taken back.
    bool write(const QString& stagingPath, const QString& uploadPath, std::int16_t overWrite,
               const FieldFlags& fieldSelect, bool holdAppend = false);
    // The held lines stay.
    void keepAppend();
    // Cuts the upload file back to its length before the held write, on disk; a file that write created is removed.
    // Nothing to do when no append is held.
    [[nodiscard]] std::optional<SystemError> undoAppend();

    // Appends the kept fields of one line (given without its line end), joined by ",". Fields the line has are written
    // even when empty; fields it does not have are not, so no trailing "," is invented.
    static void appendSelectedFields(std::string_view line, const FieldFlags& fieldSelect, QByteArray& out);

    // The message box of a failed write: the description, then the file it concerns. Returns false.
    bool fail(const QString& description, const QString& path);

private:
    MessageSink& m_messages;
    QString m_title;
    std::unique_ptr<SafeFile> m_heldAppend;
};
