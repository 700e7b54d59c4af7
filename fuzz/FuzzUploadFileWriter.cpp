// The writer on a staging file of any bytes, in a temporary folder: the first byte chooses the save mode, the next
// three the flags (one bit each), the rest is the staging file. The upload file must hold the old lines (append mode)
// followed by the kept fields of every CR LF line, each ended by CR LF.

#include "FuzzCheck.h"

#include "base/MessageSink.h"
#include "output/UploadFileWriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string_view>

namespace {

constexpr std::size_t HeaderBytes = 4;

class FailingSink : public MessageSink
{
public:
    void showMessage(const QString& text, const QString&, MessageIcon) override
    {
        std::fprintf(stderr, "writer failed: %s\n", qPrintable(text));
        std::abort();
    }
};

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < HeaderBytes) {
        return 0;
    }
    // Named after the target: a finding ends the process before the folder is removed.
    static const QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/FuzzUploadFileWriter-XXXXXX"));
    FUZZ_CHECK(dir.isValid());
    const QString stagingPath = dir.filePath(QStringLiteral("Back.txt"));
    const QString uploadPath = dir.filePath(QStringLiteral("UPLOAD.txt"));

    const std::int16_t overWrite = (data[0] & 1) != 0 ? 1 : 0;
    UploadFileWriter::FieldFlags flags{};
    for (int i = 0; i < Settings::FieldCount; ++i) {
        flags[std::size_t(i)] = (data[1 + i / 8] >> (i % 8)) & 1;
    }
    const QByteArray staging(reinterpret_cast<const char*>(data) + HeaderBytes, qsizetype(size - HeaderBytes));
    const QByteArray old("old,line\r\n");
    FUZZ_CHECK(writeFile(stagingPath, staging));
    FUZZ_CHECK(writeFile(uploadPath, old));

    QByteArray expected = overWrite == 1 ? QByteArray() : old;
    qsizetype pos = 0;
    while (pos < staging.size()) {
        qsizetype end = staging.indexOf("\r\n", pos);
        const qsizetype next = end < 0 ? staging.size() : end + 2;
        if (end < 0) {
            end = staging.size();
        }
        UploadFileWriter::appendSelectedFields(std::string_view(staging.constData() + pos, std::size_t(end - pos)),
                                               flags, expected);
        expected += "\r\n";
        pos = next;
    }

    FailingSink sink;
    UploadFileWriter writer(sink, QStringLiteral("FUZZ"));
    // The journal's digest must be of exactly the bytes the write then adds.
    const auto block = writer.render(stagingPath, uploadPath, flags);
    const QByteArray added = expected.mid(overWrite == 1 ? 0 : old.size());
    FUZZ_CHECK(block && block->lines == added &&
               block->digest == QCryptographicHash::hash(added, QCryptographicHash::Sha256));
    FUZZ_CHECK(writer.store(block->lines, uploadPath, overWrite));
    FUZZ_CHECK(readFile(uploadPath) == expected);
    FUZZ_CHECK(readFile(stagingPath) == staging);
    return 0;
}
