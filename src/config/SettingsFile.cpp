#include "config/SettingsFile.h"

#include "base/Cp932.h"
#include "base/CrLf.h"
#include "base/FolderHelpers.h"
#include "base/SafeFile.h"
#include "config/Presets.h"

#include <QFile>
#include <QStringList>

#include <limits>

namespace {

constexpr int ValueCount = 37;
// The mail user follows as a 38th value; files without it (older ones) read with an empty user.
constexpr int OptionalValueCount = 1;
constexpr int FirstFieldPosition = 15; // positions 15 to 34 hold F1 to F20

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
    for (int position = 1; position <= ValueCount; ++position) {
        QString item;
        bool wasQuoted = false;
        if (!reader.next(item, wasQuoted)) {
            return ReadResult::Invalid;
        }
        std::int16_t number = 0;
        auto readInt = [&](std::int16_t& field) {
            if (!toInt16(item, number)) {
                return false;
            }
            field = number;
            return true;
        };
        bool ok = true;
        switch (position) {
        case 1:
            settings.SaveFolder = item;
            break;
        case 2:
            settings.LocalPort = item;
            break;
        case 3:
            settings.RemoteHost = item;
            break;
        case 4:
            settings.RemotePort = item;
            break;
        case 5:
            ok = readInt(settings.AddDate);
            break;
        case 6:
            settings.FixFname = item;
            break;
        case 7:
            ok = readInt(settings.CrcType);
            break;
        case 8:
            ok = readInt(settings.OverWrite);
            break;
        case 9:
            ok = readInt(settings.StartUpSize);
            break;
        case 10:
            ok = readInt(settings.AutoStart);
            break;
        case 11:
            ok = readInt(settings.Protocol);
            break;
        case 12:
            ok = readInt(settings.SendMail);
            break;
        case 13:
            settings.MailAddress = item;
            break;
        case 14:
            settings.MailSub = item;
            break;
        case 35:
            settings.FromMailAddress = item;
            break;
        case 36:
            settings.MailServer = item;
            break;
        case 37:
            settings.TimeAdjust = item;
            break;
        default:
            ok = readInt(settings.FieldSelect[static_cast<std::size_t>(position - FirstFieldPosition)]);
            break;
        }
        if (!ok) {
            return ReadResult::Invalid;
        }
    }
    QString item;
    bool wasQuoted = false;
    settings.MailUser = reader.next(item, wasQuoted) ? item : QString();
    return ReadResult::Ok;
}

Settings SettingsFile::defaults(const QString& saveFolder)
{
    Settings settings;
    settings.SaveFolder = saveFolder;
    return settings;
}

QByteArray SettingsFile::formatFile(const Settings& s)
{
    QStringList values;
    values.reserve(ValueCount + OptionalValueCount);
    values << quoted(s.SaveFolder) << quoted(s.LocalPort) << quoted(s.RemoteHost) << quoted(s.RemotePort)
           << QString::number(s.AddDate) << quoted(s.FixFname) << QString::number(s.CrcType)
           << QString::number(s.OverWrite) << QString::number(s.StartUpSize) << QString::number(s.AutoStart)
           << QString::number(s.Protocol) << QString::number(s.SendMail) << quoted(s.MailAddress) << quoted(s.MailSub);
    for (const std::int16_t flag : s.FieldSelect) {
        values << QString::number(flag);
    }
    values << quoted(s.FromMailAddress) << quoted(s.MailServer) << quoted(s.TimeAdjust) << quoted(s.MailUser);
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
