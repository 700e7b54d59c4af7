// Any settings file either reads or is refused; a file that reads, written again, reads back to the same record.
// A hand-edited unquoted value may hold a '"', which the format has no way to write (the options dialog refuses it);
// such records are left out of the round trip.

#include "FuzzCheck.h"

#include "config/SettingsFile.h"
#include "config/SettingsTable.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    Settings first = SettingsFile::defaults(QStringLiteral("/tmp"));
    if (SettingsFile::parse(bytes, first) != ReadResult::Ok) {
        return 0;
    }
    for (const SettingRow& row : settingsTable()) {
        if (const QString* text = textValue(row, first); text && text->contains(u'"')) {
            return 0;
        }
    }
    Settings second = SettingsFile::defaults(QStringLiteral("/other"));
    FUZZ_CHECK(SettingsFile::parse(SettingsFile::formatFile(first), second) == ReadResult::Ok);
    FUZZ_CHECK(second == first);
    return 0;
}
