#include "config/Presets.h"

#include "base/Cp932.h"
#include "config/RefusalRules.h"
#include "config/SettingsCheck.h"

#include <QMap>
#include <QRegularExpression>
#include <QStringConverter>

#include <functional>
#include <limits>
#include <utility>
#include <vector>

namespace {

QString decodeText(const QByteArray& bytes)
{
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(body));
    return utf8.hasError() ? Cp932::decodeShown(body) : text;
}

bool readNumber(const QString& value, std::int16_t& number)
{
    bool ok = false;
    const int read = value.toInt(&ok, 10);
    if (!ok || read < std::numeric_limits<std::int16_t>::min() || read > std::numeric_limits<std::int16_t>::max()) {
        return false;
    }
    number = static_cast<std::int16_t>(read);
    return true;
}

bool readFieldSelect(const QString& value, std::array<std::int16_t, Settings::FieldCount>& fields)
{
    static const QRegularExpression digits(QStringLiteral("^[01]{20}$"));
    if (!digits.match(value).hasMatch()) {
        return false;
    }
    for (int i = 0; i < Settings::FieldCount; ++i) {
        fields[static_cast<std::size_t>(i)] = value.at(i) == u'1' ? 1 : 0;
    }
    return true;
}

QString expandEnvironment(const QString& text)
{
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    QString expanded;
    qsizetype from = 0;
    for (auto it = variable.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        expanded += text.mid(from, match.capturedStart() - from);
        const QString name = match.captured(1);
        expanded +=
            qEnvironmentVariableIsSet(qPrintable(name)) ? qEnvironmentVariable(qPrintable(name)) : match.captured(0);
        from = match.capturedEnd();
    }
    return expanded + text.mid(from);
}

using Setter = std::function<bool(Settings&, const QString&)>;

Setter text(QString Settings::*field)
{
    return [field](Settings& s, const QString& value) {
        s.*field = value;
        return true;
    };
}

Setter number(std::int16_t Settings::*field)
{
    return [field](Settings& s, const QString& value) { return readNumber(value, s.*field); };
}

// In this order: SENDMAIL after the mail texts, since the dialog refuses mail on without them.
const std::vector<std::pair<QString, Setter>>& setters()
{
    static const std::vector<std::pair<QString, Setter>> table = {
        {QStringLiteral("SAVEFOLDER"),
         [](Settings& s, const QString& value) {
             s.SaveFolder = expandEnvironment(value);
             return true;
         }},
        {QStringLiteral("CRCTYPE"), number(&Settings::CrcType)},
        {QStringLiteral("OVERWRITE"), number(&Settings::OverWrite)},
        {QStringLiteral("STARTUPSIZE"), number(&Settings::StartUpSize)},
        {QStringLiteral("AUTOSTART"), number(&Settings::AutoStart)},
        {QStringLiteral("PROTOCOL"), number(&Settings::Protocol)},
        {QStringLiteral("MAILADDRESS"), text(&Settings::MailAddress)},
        {QStringLiteral("MAILSUB"), text(&Settings::MailSub)},
        {QStringLiteral("FROMMAILADDRESS"), text(&Settings::FromMailAddress)},
        {QStringLiteral("MAILSERVER"), text(&Settings::MailServer)},
        {QStringLiteral("MAILUSER"), text(&Settings::MailUser)},
        {QStringLiteral("FIELDSELECT"),
         [](Settings& s, const QString& value) { return readFieldSelect(value, s.FieldSelect); }},
        {QStringLiteral("LOCALPORT"), text(&Settings::LocalPort)},
        {QStringLiteral("REMOTEHOST"), text(&Settings::RemoteHost)},
        {QStringLiteral("REMOTEPORT"), text(&Settings::RemotePort)},
        {QStringLiteral("ADDDATE"), number(&Settings::AddDate)},
        {QStringLiteral("FIXFNAME"), text(&Settings::FixFname)},
        {QStringLiteral("TIMEADJUST"), text(&Settings::TimeAdjust)},
        {QStringLiteral("SENDMAIL"), number(&Settings::SendMail)},
    };
    return table;
}

QString refusedNote(const QString& name, const QString& reason)
{
    return QStringLiteral("初期設定 ") + name + QStringLiteral(" は使用できないため既定値にしました : ") + reason;
}

} // namespace

PresetReading applyPresets(const QByteArray& bytes, const Settings& base)
{
    QMap<QString, QString> given;
    for (QString line : decodeText(bytes).split(u'\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#') || line.startsWith(u'[')) {
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        const QString name = line.left(equals).trimmed().toUpper();
        if (equals <= 0) {
            given.insert(line, QString());
            continue;
        }
        given.insert(name, line.mid(equals + 1).trimmed());
    }

    PresetReading reading{base, 0, {}};
    for (const auto& [name, set] : setters()) {
        const auto it = given.constFind(name);
        if (it == given.constEnd()) {
            continue;
        }
        Settings candidate = reading.settings;
        QString reason;
        if (!set(candidate, it.value()) || !settingsInRange(candidate) || firstBadFieldSelect(candidate) >= 0) {
            reason = QStringLiteral("値 ") + it.value();
        } else {
            reason = settingsRefusal(candidate);
            reason.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        }
        if (reason.isEmpty() && name == QStringLiteral("SAVEFOLDER") && candidate.SaveFolder.isEmpty()) {
            // No folder at all would leave the run nowhere to store; the default is a real folder.
            reason = QStringLiteral("(空)");
        }
        given.remove(name);
        if (!reason.isEmpty()) {
            reading.notes << refusedNote(name, reason);
            continue;
        }
        reading.settings = candidate;
        ++reading.applied;
    }
    for (auto it = given.constBegin(); it != given.constEnd(); ++it) {
        reading.notes << refusedNote(it.key(), QStringLiteral("不明な項目"));
    }
    return reading;
}
