#pragma once
// Every setting once: its place in the settings line, the NAME presets, the installer and policies know it by, its
// kind and range, its caption and the dialog's refusal rules. The settings file, the presets and the refusal rules
// read it; nothing here knows files or widgets. Qt Core only.

#include "config/Settings.h"

#include <QFlags>
#include <QString>
#include <QStringView>

#include <optional>
#include <span>
#include <type_traits>
#include <variant>
#include <vector>

enum class SettingKind
{
    Text,
    Number,  // a 16-bit integer, written bare in the settings line
    Flags20, // 20 values 0 or 1, F1 first: 20 places in the settings line, 20 digits as a preset
};

// What is checked of a setting beyond its range. The dialog's refusal rules go in this order: mail on without what it
// needs, sign-in data, a double quote, code page 932, the file name.
enum class Rule : unsigned
{
    MailSwitch = 0x01,    // mail is on when this is exactly 1
    NeededForMail = 0x02, // refused empty while mail is on
    NoSignIn = 0x04,      // refused holding sign-in data ("user@host"): the password belongs in the credential store
    Storable = 0x08,      // refused holding a double quote or a character code page 932 lacks: the line cannot keep it
    FileName = 0x10,      // refused unless it names a file as it stands
    // The range is not tested when the file or a preset is read: older files hold other values, and only exactly 1
    // acts; the dialog stores 0 or 1.
    UncheckedOnRead = 0x20,
    Variables = 0x40, // in a preset %DOCUMENTS% is the user's Documents, any other %NAME% an environment variable
    NotEmpty = 0x80,  // a preset may not leave it empty
};
Q_DECLARE_FLAGS(Rules, Rule)
Q_DECLARE_OPERATORS_FOR_FLAGS(Rules)

struct ValueRange
{
    int low = 0;
    int high = 0;
};

// One alternative a kind, in the order of SettingKind.
using SettingField = std::variant<QString Settings::*, std::int16_t Settings::*, Settings::Flags Settings::*>;
static_assert(std::is_same_v<std::variant_alternative_t<std::size_t(SettingKind::Number), SettingField>,
                             std::int16_t Settings::*>);
static_assert(std::is_same_v<std::variant_alternative_t<std::size_t(SettingKind::Flags20), SettingField>,
                             Settings::Flags Settings::*>);

struct SettingRow
{
    static constexpr int NoPosition = 0;

    QStringView name;                // in capitals: the preset, installer property and policy name
    int position = NoPosition;       // first place in the settings line, from 1; NoPosition: not in the line
    SettingField field;              // its kind follows from the field's type
    std::optional<ValueRange> range; // Number: the values allowed; Text: the number it must read as; Flags20: none
    Rules rules;
    QStringView caption; // as the dialog labels it, and its refusal messages name it

    SettingKind kind() const { return static_cast<SettingKind>(field.index()); }
    // How many places of the settings line it takes.
    int width() const { return kind() == SettingKind::Flags20 ? Settings::FieldCount : 1; }
};

// In the order presets are applied: SENDMAIL after the mail texts, since mail on is refused without them.
std::span<const SettingRow> settingsTable();
// The rows with a place in the settings line by that place, then the others in table order.
const std::vector<const SettingRow*>& rowsInLineOrder();

// The record with every setting at its default, the save folder given: the user's Documents or the program's folder,
// which only the start knows.
Settings defaultSettings(const QString& saveFolder);

// A setting's value as NAME=value gives it: a Number in decimal, Flags20 as 20 digits 0 or 1, a Text as it stands.
QString presetText(const SettingRow& row, const Settings& settings);
// The reverse; false, leaving settings alone, for a text that is no value of the kind (an empty Number among them).
bool setFromPresetText(const SettingRow& row, Settings& settings, const QString& text);

// A Text setting's value; nullptr for the other kinds.
const QString* textValue(const SettingRow& row, const Settings& settings);
// A Number setting's value; none for the other kinds.
std::optional<std::int16_t> numberValue(const SettingRow& row, const Settings& settings);
// Whether the value lies in the row's range (a Text must read as a number in it); true without a range, as for flags,
// each 0 or 1, which firstBadFieldSelect tests.
bool inRange(const SettingRow& row, const Settings& settings);
