#pragma once
// Start-up reading and validation of the settings: reset on a missing, unreadable or out-of-range file, then the
// save-folder test. Qt Core only; the main window shows the results.

#include "config/MessageSink.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"

#include <QString>

struct CheckResult
{
    bool settingsWritable = true; // false: the settings file could not be re-initialised, the program must end
    QString statusText;           // text for lblStatus, empty when the save folder is fine
};

// Range test of the start-up check (FieldSelect excluded): the values the dialog's controls can show.
bool SettingsInRange(const Settings& settings);
// Index of the first FieldSelect entry that is neither 0 nor 1, or -1.
int FirstBadFieldSelect(const Settings& settings);

CheckResult CheckSettings(Settings& settings, const SettingsFile& file, MessageSink& messages);
