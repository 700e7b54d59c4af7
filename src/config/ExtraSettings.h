#pragma once
// The settings without a place in the settings line (STATUSFOLDER), which IT presets and no dialog shows. The user
// keeps them in zelbo_udp.extra.ini in the data folder, one NAME=value a line in UTF-8, so the settings file stays
// byte for byte as before. One the extra file does not hold yet is taken from the presets at the first start that
// finds it there and kept from then on: an upgrade that adds it reaches users who started before, a preset changed
// later does not. Pure: the caller reads and writes the files. Qt Core only.

#include "config/Settings.h"

#include <QByteArray>

#include <optional>

struct ExtraReading
{
    Settings settings;
    // The extra file's new bytes when a preset was taken; nothing when it stays as it is.
    std::optional<QByteArray> write;
};

// base with the values of extraFile (nothing: there is none) and, for a setting it lacks, of presets. A value that is
// no value of its kind is passed over. The bytes to write keep every value of extraFile, unknown names (from a later
// version) among them.
ExtraReading readExtraSettings(const std::optional<QByteArray>& extraFile, const std::optional<QByteArray>& presets,
                               const Settings& base);
