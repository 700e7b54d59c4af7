#include "config/SettingsCheck.h"

#include "base/Platform.h"
#include "base/SafeFile.h"
#include "config/RefusalRules.h"
#include "config/SettingsTable.h"

#include <QDir>
#include <QFile>

namespace {

QStringList installNotes(const ProgramPaths& paths)
{
    QStringList notes;
    if (paths.programFolderOnNetwork) {
        notes << QStringLiteral("ﾌﾟﾛｸﾞﾗﾑのﾌｫﾙﾀﾞがﾈｯﾄﾜｰｸ上にあるため設定・受信記録はこのPCに置きます : ") +
                     paths.ProgramFolder;
    }
    // Two installs that both start at logon poll the same terminal from the same port.
    if (!paths.perUserInstall.isEmpty()) {
        notes << QStringLiteral("ﾕｰｻﾞｰごとのｲﾝｽﾄｰﾙが残っています。ｱﾝｲﾝｽﾄｰﾙしてください : ") + paths.perUserInstall;
    }
    if (!paths.perUserStartup.isEmpty()) {
        notes << QStringLiteral("ﾕｰｻﾞｰごとのｲﾝｽﾄｰﾙもﾛｸﾞｵﾝ時に起動します : ") + paths.perUserStartup;
    }
    return notes;
}

} // namespace

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

std::optional<QByteArray> earlierSettings(const QString& path, Settings& settings)
{
    QFile file;
    if (path.isEmpty() || SafeFile::openRegular(file, path, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const QByteArray bytes = file.readAll();
    Settings read;
    if (file.error() != QFileDevice::NoError || SettingsFile::parse(bytes, read) != ReadResult::Ok ||
        !settingsInRange(read) || firstBadFieldSelect(read) >= 0) {
        return std::nullopt;
    }
    settings = read;
    return bytes;
}

QString saveFolderMissingText()
{
    return QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！");
}

namespace {

// The user's settings from the file: reset on a missing, unreadable or out-of-range file; on a first start taken from
// the user's earlier file where it passes as it stands, else made from IT's presets. False when the checks end here:
// the file could not be written, or it was made just now.
bool readUserSettings(Settings& settings, const SettingsFile& file, const QString& dataFolder, CheckResult& result)
{
    ReadResult read = file.ReadSettingsFile(settings);
    if (read == ReadResult::Missing) {
        const QString& earlierPath = file.paths().earlierSettingsPath;
        const std::optional<QByteArray> earlier = earlierSettings(earlierPath, settings);
        if (earlier) {
            result.settingsWritable = file.writeInitialFile(*earlier);
            result.notes << QStringLiteral("設定ﾌｧｲﾙを引き継ぎました : ") + earlierPath;
        } else if (const auto created = file.createFromPresets(settings, result.refusedPresets)) {
            // With IT's presets nobody need be at the PC: no box, so an automatic start polls from the first logon.
            result.settingsWritable = *created;
            result.notes << QStringLiteral("設定ﾌｧｲﾙを初期設定から作成しました");
            result.notes << result.refusedPresets;
        } else {
            result.settingsWritable = file.ResetSettingsFile(settings, QStringLiteral("ﾌｧｲﾙなし"));
        }
        result.installNotes = installNotes(file.paths());
        result.notes << result.installNotes;
        if (!dataFolder.isEmpty()) {
            result.notes << QStringLiteral("設定・受信記録ﾌｫﾙﾀﾞ : ") + dataFolder;
        }
        // A fresh file needs no further test, not even of its default folder; a file taken over is tested as it is.
        if (!earlier || !result.settingsWritable) {
            return false;
        }
        read = ReadResult::Ok;
    }
    switch (read) {
    case ReadResult::Missing:
        break;
    case ReadResult::Invalid:
        if (!file.ResetSettingsFile(settings, QStringLiteral("ﾌｧｲﾙ不正"))) {
            result.settingsWritable = false;
            return false;
        }
        break;
    case ReadResult::Ok:
        break;
    }

    if (!settingsInRange(settings)) {
        result.settingsWritable = file.ResetSettingsFile(settings, QStringLiteral("ﾊﾟﾗﾒｰﾀ不正"));
    } else if (firstBadFieldSelect(settings) >= 0) {
        result.settingsWritable = file.ResetSettingsFile(settings, QStringLiteral("ﾊﾟﾗﾒｰﾀ不正(ﾌｨｰﾙﾄﾞ)"));
    }
    return result.settingsWritable;
}

} // namespace

CheckResult CheckSettings(SettingsState& settings, const SettingsFile& file, MessageSink& messages,
                          const QString& dataFolder)
{
    CheckResult result;
    Settings user = settings.user();
    const bool goOn = readUserSettings(user, file, dataFolder, result);
    // After any reset, which knows only the settings line.
    if (result.settingsWritable) {
        if (const QString note = file.readExtraSettings(user); !note.isEmpty()) {
            result.notes << note;
        }
    }
    settings.setUser(user);
    if (!goOn) {
        return result;
    }
    // From here on what the run will use: the policies' values where they hold.
    const Settings& effective = settings.effective();

    // A hand-edited or older file may still carry sign-in data in the server text; the mail never uses it.
    if (mailServerHasCredentials(effective.MailServer)) {
        result.notes << mailServerCredentialsNote();
    }

    // The save folder becomes the current directory, which the folder picker falls back to. A missing one is kept:
    // the terminal is told "CAN" until it is back (a mapped drive reconnected late), rather than having its data
    // stored where nobody looks for it.
    if (effective.SaveFolder.isEmpty() || !setCurrentFolder(effective.SaveFolder)) {
        if (effective.AutoStart == 1 && !effective.SaveFolder.isEmpty()) {
            result.awaitSaveFolder = true;
            result.statusText = QStringLiteral("保存ﾌｫﾙﾀﾞを待っています : ") + effective.SaveFolder;
            return result;
        }
        messages.showMessage(saveFolderMissingText(), QStringLiteral("エラー！！"), MessageIcon::Critical);
        result.statusText = saveFolderMissingText();
    }
    return result;
}

CheckResult CheckSettings(Settings& settings, const SettingsFile& file, MessageSink& messages,
                          const QString& dataFolder)
{
    SettingsState state;
    state.setUser(settings);
    const CheckResult result = CheckSettings(state, file, messages, dataFolder);
    settings = state.user();
    return result;
}
