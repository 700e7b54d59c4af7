#pragma once
// Shared set-up of the screenshot programs: a settings file of their own, so no real settings are touched, and
// message boxes that never block.

#include "base/MessageSink.h"
#include "base/ProgramPaths.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"

#include <QDir>
#include <QFile>

class SilentSink : public MessageSink
{
public:
    void showMessage(const QString&, const QString&, MessageIcon) override {}
};

// Program paths inside folder, with a settings file holding settings written there.
inline bool prepareSettings(const QDir& folder, const Settings& settings, ProgramPaths& paths)
{
    paths.ProgramFolder = QDir::toNativeSeparators(folder.path());
    paths.IniPath = folder.filePath(QStringLiteral("zelbo_udp.ini"));
    paths.BackFilePath = folder.filePath(QStringLiteral("Back.txt"));
    QFile ini(paths.IniPath);
    const QByteArray bytes = SettingsFile::formatFile(settings);
    return ini.open(QIODevice::WriteOnly) && ini.write(bytes) == bytes.size();
}
