#include "config/SettingsFile.h"

#include "base/Cp932.h"
#include "base/CrLf.h"
#include "base/FolderHelpers.h"
#include "base/SafeFile.h"
#include "config/ExtraSettings.h"
#include "config/Presets.h"
#include "config/SettingsTable.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <limits>
#include <vector>

namespace {

// The values every file holds. Those after them came later (the mail user): a file from before reads without them.
constexpr std::size_t RequiredValueCount = 37;

// One value of the settings line: the setting it belongs to and, for flags, which of them.
struct Place
{
    const SettingRow* row = nullptr;
    std::size_t element = 0;
};

const std::vector<Place>& places()
{
    static const std::vector<Place> line = [] {
        std::vector<Place> values;
        for (const SettingRow* row : rowsInLineOrder()) {
            if (row->position == SettingRow::NoPosition) {
                continue;
            }
            for (int element = 0; element < row->width(); ++element) {
                values.push_back({row, std::size_t(element)});
            }
        }
        return values;
    }();
    return line;
}

bool isLineEnd(QChar c)
{
    return c == u'\r' || c == u'\n';
}

// Splits the file text into items by the reading rules. Stops after `wanted` items; false when the text ends first.
class ItemReader
{
public:
    explicit ItemReader(const QString& text) : m_text(text) {}

    // Reads one item into `item` and tells whether it was quoted.
    bool next(QString& item, bool& quoted)
    {
        while (m_pos < m_text.size() && m_text[m_pos] == u' ') {
            ++m_pos;
        }
        if (m_pos >= m_text.size()) {
            return false;
        }
        quoted = m_text[m_pos] == u'"';
        if (quoted) {
            const qsizetype close = m_text.indexOf(u'"', m_pos + 1);
            if (close < 0) {
                return false;
            }
            item = m_text.mid(m_pos + 1, close - m_pos - 1);
            m_pos = close + 1;
            while (m_pos < m_text.size() && m_text[m_pos] != u',' && !isLineEnd(m_text[m_pos])) {
                ++m_pos;
            }
        } else {
            const qsizetype start = m_pos;
            while (m_pos < m_text.size() && m_text[m_pos] != u',' && !isLineEnd(m_text[m_pos])) {
                ++m_pos;
            }
            item = m_text.mid(start, m_pos - start).trimmed();
        }
        skipSeparator();
        return true;
    }

private:
    // A comma, a line end, or a comma followed by a line end: values on several lines read as on one.
    void skipSeparator()
    {
        if (m_pos < m_text.size() && m_text[m_pos] == u',') {
            ++m_pos;
            qsizetype look = m_pos;
            while (look < m_text.size() && m_text[look] == u' ') {
                ++look;
            }
            if (look < m_text.size() && isLineEnd(m_text[look])) {
                m_pos = look;
            } else {
                return;
            }
        }
        if (m_pos < m_text.size() && m_text[m_pos] == u'\r') {
            ++m_pos;
        }
        if (m_pos < m_text.size() && m_text[m_pos] == u'\n') {
            ++m_pos;
        }
    }

    const QString& m_text;
    qsizetype m_pos = 0;
};

bool toInt16(const QString& item, std::int16_t& value)
{
    if (item.isEmpty()) {
        value = 0;
        return true;
    }
    bool ok = false;
    const int number = item.toInt(&ok, 10);
    if (!ok || number < std::numeric_limits<std::int16_t>::min() || number > std::numeric_limits<std::int16_t>::max()) {
        return false;
    }
    value = static_cast<std::int16_t>(number);
    return true;
}

QString quoted(const QString& text)
{
    return QStringLiteral("\"") + text + QStringLiteral("\"");
}

bool readItem(const Place& place, const QString& item, Settings& settings)
{
    const SettingField& field = place.row->field;
    if (const auto* text = std::get_if<QString Settings::*>(&field)) {
        settings.*(*text) = item;
        return true;
    }
    if (const auto* number = std::get_if<std::int16_t Settings::*>(&field)) {
        return toInt16(item, settings.*(*number));
    }
    return toInt16(item, (settings.*std::get<Settings::Flags Settings::*>(field))[place.element]);
}

void setDefault(const Place& place, Settings& settings)
{
    static const Settings initial;
    const SettingField& field = place.row->field;
    if (const auto* text = std::get_if<QString Settings::*>(&field)) {
        settings.*(*text) = initial.*(*text);
    } else if (const auto* number = std::get_if<std::int16_t Settings::*>(&field)) {
        settings.*(*number) = initial.*(*number);
    } else {
        const auto flags = std::get<Settings::Flags Settings::*>(field);
        (settings.*flags)[place.element] = (initial.*flags)[place.element];
    }
}

// Texts quoted, numbers bare.
QString formatItem(const Place& place, const Settings& settings)
{
    const SettingField& field = place.row->field;
    if (const auto* text = std::get_if<QString Settings::*>(&field)) {
        return quoted(settings.*(*text));
    }
    if (const auto* number = std::get_if<std::int16_t Settings::*>(&field)) {
        return QString::number(settings.*(*number));
    }
    return QString::number((settings.*std::get<Settings::Flags Settings::*>(field))[place.element]);
}

QString defaultFolderLine(const ProgramPaths& paths)
{
    if (paths.IsVersion6OrLater) {
        return QStringLiteral("保存ﾌｫﾙﾀﾞの初期値はﾏｲﾄﾞｷｭﾒﾝﾄﾌｫﾙﾀﾞです");
    }
    return QStringLiteral("保存ﾌｫﾙﾀﾞの初期値は ") + paths.ProgramFolder + QStringLiteral(" です");
}

const QString OpenErrorLabel = QStringLiteral("INIﾌｧｲﾙ書き込みｵｰﾌﾟﾝｴﾗｰ : ");
const QString WriteErrorLabel = QStringLiteral("INIﾌｧｲﾙ書き込みｴﾗｰ : ");
const QString OpenErrorTitle = QStringLiteral("File Open Error");
const QString WriteErrorTitle = QStringLiteral("File Write Error");

} // namespace

SettingsFile::SettingsFile(const ProgramPaths& paths, MessageSink& messages) : m_paths(paths), m_messages(messages) {}

ReadResult SettingsFile::ReadSettingsFile(Settings& settings) const
{
    // A FIFO or device in its place reads as a file that cannot be opened, without waiting on it.
    QFile file;
    if (SafeFile::openRegular(file, m_paths.IniPath, QIODevice::ReadOnly)) {
        return ReadResult::Missing;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return ReadResult::Invalid;
    }
    return parse(bytes, settings);
}

ReadResult SettingsFile::parse(const QByteArray& bytes, Settings& settings)
{
    // Values are text people and the file system see: duplicate codes read as their characters.
    const QString text = Cp932::decodeShown(bytes);
    ItemReader reader(text);
    const std::vector<Place>& line = places();
    for (std::size_t index = 0; index < line.size(); ++index) {
        QString item;
        bool wasQuoted = false;
        if (reader.next(item, wasQuoted) && readItem(line[index], item, settings)) {
            continue;
        }
        if (index < RequiredValueCount) {
            return ReadResult::Invalid;
        }
        setDefault(line[index], settings);
    }
    return ReadResult::Ok;
}

Settings SettingsFile::defaults(const QString& saveFolder)
{
    return defaultSettings(saveFolder);
}

QByteArray SettingsFile::formatFile(const Settings& settings)
{
    QStringList values;
    values.reserve(qsizetype(places().size()));
    for (const Place& place : places()) {
        values << formatItem(place, settings);
    }
    return Cp932::encode(QString(values.join(u',') + CrLf));
}

namespace {

enum class WriteOutcome
{
    Written,
    OpenFailed,
    WriteFailed,
};

// A half or empty file would reset every setting at the next start: the new content replaces the old only once it
// is complete and on disk, and any failure leaves the old file as it was.
WriteOutcome writeFile(const QString& path, const QByteArray& bytes, QString& error)
{
    const auto failure = SafeFile::writeFile(path, bytes, SafeFile::Mode::Replace);
    if (!failure) {
        return WriteOutcome::Written;
    }
    error = failure->error.description;
    return failure->step == SafeFile::Step::Open ? WriteOutcome::OpenFailed : WriteOutcome::WriteFailed;
}

} // namespace

bool SettingsFile::ResetSettingsFile(Settings& settings, const QString& reason) const
{
    m_messages.showMessage(QStringLiteral("INIﾌｧｲﾙ読み込みｴﾗｰ : ") + reason + CrLf +
                               QStringLiteral("INIﾌｧｲﾙを初期化します") + CrLf + defaultFolderLine(m_paths) + CrLf +
                               QStringLiteral("運用に適したﾌｫﾙﾀﾞを再設定してください"),
                           QStringLiteral("File Read"), MessageIcon::None);
    settings = initialSettings();
    return writeInitialFile(settings);
}

std::optional<bool> SettingsFile::createFromPresets(Settings& settings, QStringList& notes) const
{
    QFile file;
    if (m_paths.presetPath.isEmpty() || SafeFile::openRegular(file, m_paths.presetPath, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const PresetReading reading = applyPresets(file.readAll(), initialSettings());
    settings = reading.settings;
    notes = reading.notes;
    return writeInitialFile(settings);
}

namespace {

// A file's bytes; nothing when it is missing, or cannot be read (missing then tells which).
std::optional<QByteArray> readWhole(const QString& path, bool& missing)
{
    missing = path.isEmpty() || !QFileInfo::exists(path);
    QFile file;
    if (missing || SafeFile::openRegular(file, path, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    QByteArray bytes = file.readAll();
    return file.error() == QFileDevice::NoError ? std::optional<QByteArray>(bytes) : std::nullopt;
}

} // namespace

QString SettingsFile::readExtraSettings(Settings& settings) const
{
    bool missing = false;
    const std::optional<QByteArray> extra = readWhole(m_paths.extraPath, missing);
    if (!extra && !missing) {
        return QString();
    }
    bool noPresets = false;
    const ExtraReading reading = ::readExtraSettings(extra, readWhole(m_paths.presetPath, noPresets), settings);
    settings = reading.settings;
    if (!reading.write) {
        return QString();
    }
    const auto failure = SafeFile::writeFile(m_paths.extraPath, *reading.write, SafeFile::Mode::Replace);
    if (!failure) {
        return QString();
    }
    // Taken for this start all the same; the next start tries the file again.
    return QStringLiteral("設定ﾌｧｲﾙ ") + m_paths.extraPath + QStringLiteral(" に書き込めません : ") +
           QString::number(failure->error.number) + u' ' + failure->error.description;
}

Settings SettingsFile::initialSettings() const
{
    return defaults(m_paths.IsVersion6OrLater ? GetSpecialFolderPath(PersonalFolderId) : m_paths.ProgramFolder);
}

bool SettingsFile::writeInitialFile(const Settings& settings) const
{
    QString error;
    switch (writeFile(m_paths.IniPath, formatFile(settings), error)) {
    case WriteOutcome::Written:
        return true;
    case WriteOutcome::OpenFailed:
        m_messages.showMessage(OpenErrorLabel + error, OpenErrorTitle, MessageIcon::None);
        return false;
    case WriteOutcome::WriteFailed:
        m_messages.showMessage(WriteErrorLabel + error, WriteErrorTitle, MessageIcon::None);
        return false;
    }
    return false;
}

void SettingsFile::WriteSettingsFile(const Settings& newSettings) const
{
    QString error;
    switch (writeFile(m_paths.IniPath, formatFile(newSettings), error)) {
    case WriteOutcome::Written:
        break;
    case WriteOutcome::OpenFailed:
        // A failed open is reported by both boxes, the open's and then the write's, since nothing was written either.
        m_messages.showMessage(OpenErrorLabel + error, OpenErrorTitle, MessageIcon::None);
        m_messages.showMessage(WriteErrorLabel + error, WriteErrorTitle, MessageIcon::None);
        break;
    case WriteOutcome::WriteFailed:
        m_messages.showMessage(WriteErrorLabel + error, WriteErrorTitle, MessageIcon::None);
        break;
    }
}
