#include "config/SettingsTable.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <limits>

namespace {

constexpr ValueRange ZeroOrOne{0, 1};
// What mail cannot go without.
constexpr Rules MailText = Rule::Storable | Rule::NeededForMail;

// A number as the settings dialog would store it: whole, 16 bits, no empty text.
bool readNumber(const QString& text, std::int16_t& number)
{
    bool ok = false;
    const int read = text.toInt(&ok, 10);
    if (!ok || read < std::numeric_limits<std::int16_t>::min() || read > std::numeric_limits<std::int16_t>::max()) {
        return false;
    }
    number = static_cast<std::int16_t>(read);
    return true;
}

} // namespace

std::span<const SettingRow> settingsTable()
{
    using R = Rule;
    // NAME, place in the settings line, field, range, rules, caption.
    static const std::array<SettingRow, 20> table = {{
        {u"SAVEFOLDER", 1, &Settings::SaveFolder, {}, R::Storable | R::Variables | R::NotEmpty, u"保存ﾌｫﾙﾀﾞ"},
        {u"CRCTYPE", 7, &Settings::CrcType, ZeroOrOne, {}, u"CRCﾀｲﾌﾟ"},
        {u"OVERWRITE", 8, &Settings::OverWrite, ZeroOrOne, {}, u"保存ﾓｰﾄﾞ"},
        {u"STARTUPSIZE", 9, &Settings::StartUpSize, ZeroOrOne, {}, u"ｽﾀｰﾄｻｲｽﾞ"},
        {u"AUTOSTART", 10, &Settings::AutoStart, ZeroOrOne, {}, u"ｵｰﾄｽﾀｰﾄ"},
        {u"PROTOCOL", 11, &Settings::Protocol, ZeroOrOne, {}, u"ﾌﾟﾛﾄｺﾙ"},
        {u"MAILADDRESS", 13, &Settings::MailAddress, {}, MailText, u"宛先ﾒｰﾙｱﾄﾞﾚｽ(To)"},
        {u"MAILSUB", 14, &Settings::MailSub, {}, R::Storable, u"件名"},
        {u"FROMMAILADDRESS", 35, &Settings::FromMailAddress, {}, MailText, u"差出人ﾒｰﾙｱﾄﾞﾚｽ(From)"},
        {u"MAILSERVER", 36, &Settings::MailServer, {}, MailText | R::NoSignIn, u"ﾒｰﾙｻｰﾊﾞｰ"},
        {u"MAILUSER", 38, &Settings::MailUser, {}, R::Storable, u"ﾕｰｻﾞｰ名"},
        {u"FIELDSELECT", 15, &Settings::FieldSelect, {}, {}, u"取り込みﾌｨｰﾙﾄﾞ選択"},
        {u"LOCALPORT", 2, &Settings::LocalPort, {}, R::Storable, u"ﾛｰｶﾙﾎﾟｰﾄ(Bind)"},
        {u"REMOTEHOST", 3, &Settings::RemoteHost, {}, R::Storable, u"ﾘﾓｰﾄﾎｽﾄ"},
        {u"REMOTEPORT", 4, &Settings::RemotePort, {}, R::Storable, u"ﾘﾓｰﾄﾎﾟｰﾄ"},
        {u"ADDDATE", 5, &Settings::AddDate, ValueRange{0, 4}, {}, u"日付・時刻付加"},
        {u"FIXFNAME", 6, &Settings::FixFname, {}, R::Storable | R::FileName, u"保存ﾌｧｲﾙ名"},
        {u"TIMEADJUST", 37, &Settings::TimeAdjust, ZeroOrOne, {}, u"PCと日時を合わせる"},
        {u"SENDMAIL", 12, &Settings::SendMail, ZeroOrOne, R::MailSwitch | R::UncheckedOnRead,
         u"ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙを添付してﾒｰﾙする"},
        // IT's, with no control in the dialog: written to no settings line, so no code page 932 rule.
        {u"STATUSFOLDER", SettingRow::NoPosition, &Settings::StatusFolder, {}, {}, u"状態ﾌｧｲﾙの共有ﾌｫﾙﾀﾞ"},
    }};
    return table;
}

const std::vector<const SettingRow*>& rowsInLineOrder()
{
    static const std::vector<const SettingRow*> rows = [] {
        std::vector<const SettingRow*> sorted;
        for (const SettingRow& row : settingsTable()) {
            sorted.push_back(&row);
        }
        const auto place = [](const SettingRow* row) {
            return row->position == SettingRow::NoPosition ? std::numeric_limits<int>::max() : row->position;
        };
        std::stable_sort(sorted.begin(), sorted.end(),
                         [&place](const SettingRow* a, const SettingRow* b) { return place(a) < place(b); });
        return sorted;
    }();
    return rows;
}

Settings defaultSettings(const QString& saveFolder)
{
    Settings settings;
    settings.SaveFolder = saveFolder;
    return settings;
}

QString presetText(const SettingRow& row, const Settings& settings)
{
    if (const auto* text = std::get_if<QString Settings::*>(&row.field)) {
        return settings.*(*text);
    }
    if (const auto* number = std::get_if<std::int16_t Settings::*>(&row.field)) {
        return QString::number(settings.*(*number));
    }
    QString digits;
    for (const std::int16_t flag : settings.*std::get<Settings::Flags Settings::*>(row.field)) {
        digits += QString::number(flag);
    }
    return digits;
}

bool setFromPresetText(const SettingRow& row, Settings& settings, const QString& text)
{
    if (const auto* field = std::get_if<QString Settings::*>(&row.field)) {
        settings.*(*field) = text;
        return true;
    }
    if (const auto* field = std::get_if<std::int16_t Settings::*>(&row.field)) {
        return readNumber(text, settings.*(*field));
    }
    if (text.size() != Settings::FieldCount ||
        !std::all_of(text.begin(), text.end(), [](QChar c) { return c == u'0' || c == u'1'; })) {
        return false;
    }
    Settings::Flags& flags = settings.*std::get<Settings::Flags Settings::*>(row.field);
    for (std::size_t i = 0; i < flags.size(); ++i) {
        flags[i] = text.at(qsizetype(i)) == u'1' ? 1 : 0;
    }
    return true;
}

const QString* textValue(const SettingRow& row, const Settings& settings)
{
    const auto* field = std::get_if<QString Settings::*>(&row.field);
    return field ? &(settings.*(*field)) : nullptr;
}

std::optional<std::int16_t> numberValue(const SettingRow& row, const Settings& settings)
{
    const auto* field = std::get_if<std::int16_t Settings::*>(&row.field);
    return field ? std::optional<std::int16_t>(settings.*(*field)) : std::nullopt;
}

bool inRange(const SettingRow& row, const Settings& settings)
{
    if (!row.range) {
        return true;
    }
    double value = 0;
    if (const QString* text = textValue(row, settings)) {
        bool ok = false;
        value = text->trimmed().toDouble(&ok);
        if (!ok) {
            return false;
        }
    } else if (const auto number = numberValue(row, settings)) {
        value = *number;
    }
    return value >= row.range->low && value <= row.range->high;
}
