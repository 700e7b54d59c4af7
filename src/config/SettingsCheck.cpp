#include "config/SettingsCheck.h"

#include "base/Platform.h"
#include "config/RefusalRules.h"
#include "config/SettingsTable.h"

#include <QDir>

bool settingsInRange(const Settings& settings)
{
    for (const SettingRow& row : settingsTable()) {
        if (!row.rules.testFlag(Rule::UncheckedOnRead) && !inRange(row, settings)) {
            return false;
        }
    }
    return true;
}

int firstBadFieldSelect(const Settings& settings)
{
    for (const SettingRow& row : settingsTable()) {
        if (const auto* flags = std::get_if<Settings::Flags Settings::*>(&row.field)) {
            const Settings::Flags& values = settings.*(*flags);
            for (std::size_t i = 0; i < values.size(); ++i) {
                if (values[i] != 0 && values[i] != 1) {
                    return int(i);
                }
            }
        }
    }
    return -1;
}

QString saveFolderMissingText()
{
    return QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！");
}

namespace {

CheckResult checkSettingsFile(Settings& settings, const SettingsFile& file, MessageSink& messages,
                              const QString& dataFolder)
{
    CheckResult result;
    switch (file.ReadSettingsFile(settings)) {
    case ReadResult::Missing:
        // A fresh file needs no further test, not even of its default folder. With IT's presets nobody need be at
        // the PC: no box, so an automatic start polls from the first logon on.
        if (const auto created = file.createFromPresets(settings, result.refusedPresets)) {
            result.settingsWritable = *created;
            result.notes << QStringLiteral("設定ﾌｧｲﾙを初期設定から作成しました");
            result.notes << result.refusedPresets;
        } else {
            result.settingsWritable = file.ResetSettingsFile(settings, QStringLiteral("ﾌｧｲﾙなし"));
        }
        if (!dataFolder.isEmpty()) {
            result.notes << QStringLiteral("設定・受信記録ﾌｫﾙﾀﾞ : ") + dataFolder;
        }
        return result;
    case ReadResult::Invalid:
        if (!file.ResetSettingsFile(settings, QStringLiteral("ﾌｧｲﾙ不正"))) {
            result.settingsWritable = false;
            return result;
        }
        break;
    case ReadResult::Ok:
        break;
    }

    if (!settingsInRange(settings)) {
        if (!file.ResetSettingsFile(settings, QStringLiteral("ﾊﾟﾗﾒｰﾀ不正"))) {
            result.settingsWritable = false;
            return result;
        }
    } else if (firstBadFieldSelect(settings) >= 0) {
        if (!file.ResetSettingsFile(settings, QStringLiteral("ﾊﾟﾗﾒｰﾀ不正(ﾌｨｰﾙﾄﾞ)"))) {
            result.settingsWritable = false;
            return result;
        }
    }

    // A hand-edited or older file may still carry sign-in data in the server text; the mail never uses it.
    if (mailServerHasCredentials(settings.MailServer)) {
        result.notes << mailServerCredentialsNote();
    }

    // The save folder becomes the current directory, which the folder picker falls back to. A missing one is kept:
    // the terminal is told "CAN" until it is back (a mapped drive reconnected late), rather than having its data
    // stored where nobody looks for it.
    if (settings.SaveFolder.isEmpty() || !setCurrentFolder(settings.SaveFolder)) {
        if (settings.AutoStart == 1 && !settings.SaveFolder.isEmpty()) {
            result.awaitSaveFolder = true;
            result.statusText = QStringLiteral("保存ﾌｫﾙﾀﾞを待っています : ") + settings.SaveFolder;
            return result;
        }
        messages.showMessage(saveFolderMissingText(), QStringLiteral("エラー！！"), MessageIcon::Critical);
        result.statusText = saveFolderMissingText();
    }
    return result;
}

} // namespace

CheckResult CheckSettings(Settings& settings, const SettingsFile& file, MessageSink& messages,
                          const QString& dataFolder)
{
    CheckResult result = checkSettingsFile(settings, file, messages, dataFolder);
    // After any reset, which knows only the settings line.
    if (result.settingsWritable) {
        if (const QString note = file.readExtraSettings(settings); !note.isEmpty()) {
            result.notes << note;
        }
    }
    return result;
}
