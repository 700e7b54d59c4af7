#include "config/SettingsOrPresets.h"

#include "config/Presets.h"

std::optional<Settings> settingsOrPresets(ReadResult read, const Settings& fromFile,
                                          const std::optional<QByteArray>& presets)
{
    switch (read) {
    case ReadResult::Ok:
        return fromFile;
    case ReadResult::Missing:
        if (!presets) {
            return std::nullopt;
        }
        return applyPresets(*presets, SettingsFile::defaults(QString())).settings;
    case ReadResult::Invalid:
    default:
        return std::nullopt;
    }
}
