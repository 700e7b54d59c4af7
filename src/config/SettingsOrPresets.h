#pragma once
// The settings a command acts on without starting the program (--store-mail-password): the settings file's, or before
// the first start what IT's presets will make of it. Pure: the caller reads both files. Qt Core only.

#include "config/Settings.h"
#include "config/SettingsFile.h"

#include <QByteArray>

#include <optional>

// read: how reading the settings file went, fromFile what it gave. presets: the presets file's bytes, nothing when
// there is none or it cannot be read. Nothing for a damaged settings file: the next start resets it, and presets are
// for a first start only.
std::optional<Settings> settingsOrPresets(ReadResult read, const Settings& fromFile,
                                          const std::optional<QByteArray>& presets);
