// The field splitter against a plain split-and-join: the first five bytes hold the 20 flags (two bits each, giving
// 0, 1, -1 or 2: only 1 keeps), the rest is the line.

#include "FuzzCheck.h"

#include "output/UploadFileWriter.h"

#include <QByteArrayList>

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

constexpr std::size_t FlagBytes = 5;

UploadFileWriter::FieldFlags flagsFrom(const std::uint8_t* data)
{
    static constexpr std::int16_t Values[] = {0, 1, -1, 2};
    UploadFileWriter::FieldFlags flags{};
    for (int i = 0; i < Settings::FieldCount; ++i) {
        flags[std::size_t(i)] = Values[(data[i / 4] >> (2 * (i % 4))) & 3];
    }
    return flags;
}

QByteArray expectedFields(const QByteArray& line, const UploadFileWriter::FieldFlags& flags)
{
    const QByteArrayList fields = line.split(',');
    QByteArrayList kept;
    for (qsizetype i = 0; i < fields.size() && i < Settings::FieldCount; ++i) {
        if (flags[std::size_t(i)] == 1) {
            kept.append(fields[i]);
        }
    }
    return kept.join(',');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < FlagBytes) {
        return 0;
    }
    const UploadFileWriter::FieldFlags flags = flagsFrom(data);
    const std::string_view line(reinterpret_cast<const char*>(data) + FlagBytes, size - FlagBytes);
    QByteArray out("before\r\n");
    UploadFileWriter::appendSelectedFields(line, flags, out);
    FUZZ_CHECK(out == "before\r\n" + expectedFields(QByteArray(line.data(), qsizetype(line.size())), flags));
    return 0;
}
