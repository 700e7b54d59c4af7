#include "config/NamedValues.h"

#include "base/CrLf.h"
#include "base/FolderHelpers.h"
#include "config/RefusalRules.h"
#include "config/SettingsTable.h"

#include <QRegularExpression>

namespace {

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

// Why value cannot go over current, or nothing.
QString refusal(const SettingRow& row, const Settings& current, const QString& given, const QString& value)
{
    Settings candidate = current;
    // Flags hold only 0 or 1 once read; a range marked unchecked on read is not tested here either, as in the file.
    if (!setFromPresetText(row, candidate, value) ||
        (!row.rules.testFlag(Rule::UncheckedOnRead) && !inRange(row, candidate))) {
        return QStringLiteral("値 ") + given;
    }
    // Mail's rule ties settings together: the value is refused only where it is what breaks it.
    QString reason = mailRefusal(current).isEmpty() ? mailRefusal(candidate) : QString();
    if (reason.isEmpty()) {
        reason = valueRefusal(row, candidate);
    }
    if (reason.isEmpty() && row.rules.testFlag(Rule::NotEmpty) && presetText(row, candidate).isEmpty()) {
        // No save folder at all would leave the run nowhere to store.
        reason = QStringLiteral("(空)");
    }
    return reason.replace(CrLf, QStringLiteral(" "));
}

} // namespace

NamedValuesResult applyNamedValues(const QMap<QString, QString>& given, const Settings& base)
{
    NamedValuesResult result{base, {}, {}};
    QMap<QString, QString> left = given;
    for (const SettingRow& row : settingsTable()) {
        const QString name = row.name.toString();
        const auto it = left.constFind(name);
        if (it == left.constEnd()) {
            continue;
        }
        const QString value = row.rules.testFlag(Rule::Variables) ? expandVariables(it.value()) : it.value();
        const QString reason = refusal(row, result.settings, it.value(), value);
        left.remove(name);
        if (!reason.isEmpty()) {
            result.refused.append({name, reason});
            continue;
        }
        (void)setFromPresetText(row, result.settings, value);
        result.taken << name;
    }
    for (auto it = left.constBegin(); it != left.constEnd(); ++it) {
        result.refused.append({it.key(), QStringLiteral("不明な項目")});
    }
    return result;
}
