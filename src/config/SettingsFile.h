#pragma once
// Reads, re-initialises and writes the one-line settings file beside the program (37 values and the mail user, code
// page 932), in the order of the settings table, and reads the extra settings file beside it.
// Depends only on Qt Core; reports through MessageSink.

#include "base/MessageSink.h"
#include "base/ProgramPaths.h"
#include "config/Settings.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

enum class ReadResult
{
    Ok,
    Missing,
    Invalid,
};

class SettingsFile
{
public:
    SettingsFile(const ProgramPaths& paths, MessageSink& messages);

    ReadResult ReadSettingsFile(Settings& settings) const;
    // Shows the "File Read" box, applies the defaults and writes them. False when the file could not be written:
    // the caller must then end the program at once.
    [[nodiscard]] bool ResetSettingsFile(Settings& settings, const QString& reason) const;
    // A first start with IT's presets (paths.presetPath) in place: the defaults with every acceptable preset over
    // them, written without a box. Nothing when there is no presets file; otherwise as ResetSettingsFile, with one
    // line in notes for each preset that was not taken.
    [[nodiscard]] std::optional<bool> createFromPresets(Settings& settings, QStringList& notes) const;
    // The settings without a place in the settings line, from the extra file (paths.extraPath) or, where it lacks one,
    // the presets; the extra file is written when a preset was taken. A status line when that write failed, else
    // nothing. An extra file that exists but cannot be read is left alone, and no preset is taken over it.
    QString readExtraSettings(Settings& settings) const;
    // Writes newSettings and reports its own failures; the caller applies the settings whether or not it worked.
    void WriteSettingsFile(const Settings& newSettings) const;

    static Settings defaults(const QString& saveFolder);
    static QByteArray formatFile(const Settings& settings);
    // Applies the reading rules; values read before a failure are left in settings, as the reader would.
    static ReadResult parse(const QByteArray& bytes, Settings& settings);

private:
    Settings initialSettings() const;
    bool writeInitialFile(const Settings& settings) const;

    const ProgramPaths& m_paths;
    MessageSink& m_messages;
};
