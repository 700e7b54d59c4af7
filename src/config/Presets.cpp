#include "config/Presets.h"

#include "base/Cp932.h"
#include "base/FolderHelpers.h"
#include "config/RefusalRules.h"
#include "config/SettingsCheck.h"
#include "config/SettingsTable.h"

#include <QRegularExpression>
#include <QStringConverter>

namespace {

QString decodeText(const QByteArray& bytes)
{
    // What Windows PowerShell 5.1 writes with Out-File and >; the decoder drops the byte order mark.
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringDecoder::Utf16LE);
        return utf16.decode(bytes);
    }
    QByteArray body = bytes;
    if (body.startsWith("\xEF\xBB\xBF")) {
        body.remove(0, 3);
    }
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = utf8.decode(QByteArrayView(body));
    return utf8.hasError() ? Cp932::decodeShown(body) : text;
}

// %DOCUMENTS% is the user's Documents where Windows keeps it (moved to OneDrive or redirected, it is not under the
// profile); any other %NAME% the user's environment variable. One that names nothing stays as written.
QString expandVariables(const QString& text)
{
    static const QRegularExpression variable(QStringLiteral("%([^%]+)%"));
    QString expanded;
    qsizetype from = 0;
    for (auto it = variable.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch match = it.next();
        expanded += text.mid(from, match.capturedStart() - from);
        const QString name = match.captured(1);
        if (name.compare(QLatin1String("DOCUMENTS"), Qt::CaseInsensitive) == 0) {
            const QString documents = GetSpecialFolderPath(PersonalFolderId);
            expanded += documents.isEmpty() ? match.captured(0) : documents;
        } else if (qEnvironmentVariableIsSet(qPrintable(name))) {
            expanded += qEnvironmentVariable(qPrintable(name));
        } else {
            expanded += match.captured(0);
        }
        from = match.capturedEnd();
    }
    return expanded + text.mid(from);
}

QString refusedNote(const QString& name, const QString& reason)
{
    return QStringLiteral("初期設定 ") + name + QStringLiteral(" は使用できないため既定値にしました : ") + reason;
}

// NAME (in capitals) to value, one a line; a line without a name is kept whole as a name, to be noted as unknown.
QMap<QString, QString> readLines(const QString& text)
{
    QMap<QString, QString> given;
    for (QString line : text.split(u'\n')) {
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
    return given;
}

// Each given value through the dialog's rules, in table order; what is left over has no setting of that name.
PresetReading applyValues(QMap<QString, QString> given, const Settings& base)
{
    PresetReading reading{base, 0, {}};
    for (const SettingRow& row : settingsTable()) {
        const QString name = row.name.toString();
        const auto it = given.constFind(name);
        if (it == given.constEnd()) {
            continue;
        }
        const QString value = row.rules.testFlag(Rule::Variables) ? expandVariables(it.value()) : it.value();
        Settings candidate = reading.settings;
        QString reason;
        if (!setFromPresetText(row, candidate, value) || !settingsInRange(candidate) ||
            firstBadFieldSelect(candidate) >= 0) {
            reason = QStringLiteral("値 ") + it.value();
        } else {
            reason = settingsRefusal(candidate);
            reason.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        }
        if (reason.isEmpty() && row.rules.testFlag(Rule::NotEmpty) && presetText(row, candidate).isEmpty()) {
            // No save folder at all would leave the run nowhere to store; the default is a real folder.
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

} // namespace

PresetReading applyPresets(const QByteArray& bytes, const Settings& base)
{
    return applyValues(presetValues(bytes), base);
}

QMap<QString, QString> presetValues(const QByteArray& bytes)
{
    return readLines(decodeText(bytes));
}
