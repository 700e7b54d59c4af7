#include "config/RefusalRules.h"

#include "base/CrLf.h"
#include "base/FileNameRule.h"
#include "base/Cp932.h"
#include "config/SettingsTable.h"

#include <QStringList>

#include <functional>

namespace {

// The captions of the rows with rule whose text fails test, one a line in the order of the settings line; only that
// row when one is given.
QStringList failingCaptions(const Settings& settings, Rule rule, const std::function<bool(const QString&)>& fails,
                            const SettingRow* only = nullptr)
{
    QStringList captions;
    for (const SettingRow* row : rowsInLineOrder()) {
        const QString* text = textValue(*row, settings);
        if ((only == nullptr || row == only) && row->rules.testFlag(rule) && text && fails(*text)) {
            captions << row->caption.toString();
        }
    }
    return captions;
}

QString refusal(QStringList captions, const QString& reason)
{
    if (captions.isEmpty()) {
        return QString();
    }
    captions << reason;
    return captions.join(CrLf);
}

bool mailIsOn(const Settings& settings)
{
    for (const SettingRow& row : settingsTable()) {
        if (row.rules.testFlag(Rule::MailSwitch) && numberValue(row, settings) == 1) {
            return true;
        }
    }
    return false;
}

// The rules that judge each text on its own, for every row or only one.
QString textRefusal(const Settings& editSettings, const SettingRow* only)
{
    const QString signIn = refusal(failingCaptions(editSettings, Rule::NoSignIn, mailServerHasCredentials, only),
                                   QStringLiteral("にﾕｰｻﾞｰ名やﾊﾟｽﾜｰﾄﾞ(…@)は書けません。") + CrLf +
                                       QStringLiteral("ﾕｰｻﾞｰ名とﾊﾟｽﾜｰﾄﾞの欄に入力してください！！"));
    if (!signIn.isEmpty()) {
        return signIn;
    }
    // The settings file encloses texts in double quotes with no escape, so a quote inside a text would cut the value
    // and every value after it would be read from the wrong place.
    const QString quoted =
        refusal(failingCaptions(
                    editSettings, Rule::Storable, [](const QString& text) { return text.contains(u'"'); }, only),
                QStringLiteral("に \" (ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ) は使用できません！！"));
    if (!quoted.isEmpty()) {
        return quoted;
    }
    const QString unstorable =
        refusal(failingCaptions(
                    editSettings, Rule::Storable, [](const QString& text) { return !Cp932::roundTrips(text); }, only),
                QStringLiteral("に使用できない文字が含まれています！！"));
    if (!unstorable.isEmpty()) {
        return unstorable;
    }
    // The run would store under another name than the one typed, and the user would look for the wrong file.
    return refusal(
        failingCaptions(
            editSettings, Rule::FileName, [](const QString& text) { return safeFileName(text) != text; }, only),
        QStringLiteral("に \\ / : * ? < > | と .. 、末尾の . と空白、") + CrLf +
            QStringLiteral("CON PRN AUX NUL COM1～COM9 LPT1～LPT9 という名前は使用できません！！"));
}

} // namespace

QString settingsRefusal(const Settings& editSettings)
{
    const QString mail = mailRefusal(editSettings);
    return mail.isEmpty() ? textRefusal(editSettings, nullptr) : mail;
}

QString mailRefusal(const Settings& settings)
{
    if (!mailIsOn(settings)) {
        return QString();
    }
    const auto isEmpty = [](const QString& text) { return text.isEmpty(); };
    if (failingCaptions(settings, Rule::NeededForMail, isEmpty).isEmpty()) {
        return QString();
    }
    // All of them are named, not only the empty ones.
    return refusal(failingCaptions(settings, Rule::NeededForMail, [](const QString&) { return true; }),
                   QStringLiteral("のいずれかが入力されていません！！"));
}

QString valueRefusal(const SettingRow& row, const Settings& settings)
{
    return textRefusal(settings, &row);
}

bool mailServerHasCredentials(const QString& mailServer)
{
    QString authority = mailServer.trimmed();
    if (const qsizetype scheme = authority.indexOf(QLatin1String("://")); scheme >= 0) {
        authority = authority.mid(scheme + 3);
    }
    // No host name holds an "@": anything before one is sign-in data.
    return authority.left(authority.indexOf(u'/')).contains(u'@');
}

QString mailServerCredentialsNote()
{
    return QStringLiteral("ﾒｰﾙｻｰﾊﾞｰに書かれたﾕｰｻﾞｰ名・ﾊﾟｽﾜｰﾄﾞは使いません : 設定のﾕｰｻﾞｰ名とﾊﾟｽﾜｰﾄﾞに入力してください");
}
