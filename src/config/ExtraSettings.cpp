#include "config/ExtraSettings.h"

#include "config/Presets.h"
#include "config/SettingsTable.h"

#include <QMap>

ExtraReading readExtraSettings(const std::optional<QByteArray>& extraFile, const std::optional<QByteArray>& presets,
                               const Settings& base)
{
    QMap<QString, QString> held = extraFile ? presetValues(*extraFile) : QMap<QString, QString>();
    const QMap<QString, QString> given = presets ? presetValues(*presets) : QMap<QString, QString>();
    ExtraReading reading{base, std::nullopt};
    bool taken = false;
    for (const SettingRow& row : settingsTable()) {
        const QString name = row.name.toString();
        const bool inFile = held.contains(name);
        if (row.position != SettingRow::NoPosition || (!inFile && !given.contains(name))) {
            continue;
        }
        const QString value = inFile ? held.value(name) : given.value(name);
        Settings candidate = reading.settings;
        if (!setFromPresetText(row, candidate, value) || !inRange(row, candidate)) {
            continue;
        }
        reading.settings = candidate;
        if (!inFile) {
            held.insert(name, value);
            taken = true;
        }
    }
    if (taken) {
        // Written afresh in UTF-8, whatever encoding a hand edit left: comments go, values stay.
        QByteArray bytes;
        for (auto it = held.constBegin(); it != held.constEnd(); ++it) {
            bytes += (it.key() + u'=' + it.value() + QStringLiteral("\r\n")).toUtf8();
        }
        reading.write = bytes;
    }
    return reading;
}
