#pragma once
// IT's presets for a user's first start: zelbo_udp.defaults.ini beside the program, written by the installer from its
// properties or placed by hand beside a portable copy. One NAME=value a line, the names those of the settings table
// (REMOTEHOST, SAVEFOLDER, AUTOSTART, FIELDSELECT as 20 digits F1 first…). UTF-8, a BOM allowed; UTF-16LE after its
// BOM FF FE, which Windows PowerShell 5.1 writes; or code page 932 where the bytes are not UTF-8 (what an installer's
// INI writer leaves on Japanese Windows); blank lines, comments (; or #) and [section] lines are passed over. Qt Core
// only.

#include "config/Settings.h"

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

struct PresetReading
{
    Settings settings;
    int applied = 0;   // presets taken
    QStringList notes; // one status line for each preset that was not taken, naming it and why
};

// base with every preset that the settings dialog would accept; a preset it would refuse stays at base's value.
// In SAVEFOLDER %DOCUMENTS% is the user's Documents and any other %NAME% the user's environment variable, so one preset
// can name each user's own folder.
PresetReading applyPresets(const QByteArray& bytes, const Settings& base);

// The NAME=value lines of bytes, read as presets are: NAME in capitals to its value; a line without a name is kept
// whole as a name with an empty value.
QMap<QString, QString> presetValues(const QByteArray& bytes);
