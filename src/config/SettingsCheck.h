#pragma once
// Start-up reading and validation of the settings: reset on a missing, unreadable or out-of-range file, then the
// save-folder test; and the text test the windows apply before a value reaches the file. Qt Core only; the windows
// show the results.

#include "base/MessageSink.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "config/SettingsState.h"

#include <QString>
#include <QStringList>

#include <optional>

struct CheckResult
{
    bool settingsWritable = true; // false: the settings file could not be re-initialised, the program must end
    QString statusText;           // text for lblStatus, empty when the save folder is fine
    // AutoStart 1 and the save folder missing: its box is left to the caller, which waits for the folder first (a
    // mapped drive reconnected late at logon) and shows the box without holding the automatic start.
    bool awaitSaveFolder = false;
    // Lines for the status box after the start-up texts: where the files are on a first start, presets not taken.
    QStringList notes;
    // The presets that were not taken, for the day's history as well.
    QStringList refusedPresets;
    // What a first start in the data folder found about the install (a program folder on a network, a per-user
    // install beside the per-machine one), said once: in notes and in the day's history.
    QStringList installNotes;
};

// The user's earlier settings file as a first start takes it: its bytes, and settings read from them, only when it
// passes the start-up check as it stands (a file that would be reset gives way to the presets).
std::optional<QByteArray> earlierSettings(const QString& path, Settings& settings);

// The start-up box and status text of a missing save folder.
QString saveFolderMissingText();

// Range test of the start-up check (FieldSelect excluded): the values the dialog's controls can show.
bool settingsInRange(const Settings& settings);
// Index of the first FieldSelect entry that is neither 0 nor 1, or -1.
int firstBadFieldSelect(const Settings& settings);

// The user's settings from the file into settings, then the tests of what the run will use, the policies' values
// where they hold. dataFolder is named in the status box on a first start. A first start takes the user's earlier
// settings file (file.paths().earlierSettingsPath) where it passes this check as it stands, else IT's presets, else the
// defaults.
CheckResult CheckSettings(SettingsState& settings, const SettingsFile& file, MessageSink& messages,
                          const QString& dataFolder = QString());
// The same without policies.
CheckResult CheckSettings(Settings& settings, const SettingsFile& file, MessageSink& messages,
                          const QString& dataFolder = QString());
