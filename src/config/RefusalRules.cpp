#include "config/RefusalRules.h"

#include "base/CrLf.h"
#include "base/FileNameRule.h"
#include "base/Cp932.h"

#include <QStringList>

#include <array>
#include <utility>

QString settingsRefusal(const Settings& editSettings)
{
    if (editSettings.SendMail == 1 && (editSettings.MailAddress.isEmpty() || editSettings.FromMailAddress.isEmpty() ||
                                       editSettings.MailServer.isEmpty())) {
        return QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To)") + CrLf + QStringLiteral("差出人ﾒｰﾙｱﾄﾞﾚｽ(From)") + CrLf +
               QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ") + CrLf + QStringLiteral("のいずれかが入力されていません！！");
    }

    if (mailServerHasCredentials(editSettings.MailServer)) {
        return QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ") + CrLf + QStringLiteral("にﾕｰｻﾞｰ名やﾊﾟｽﾜｰﾄﾞ(…@)は書けません。") + CrLf +
               QStringLiteral("ﾕｰｻﾞｰ名とﾊﾟｽﾜｰﾄﾞの欄に入力してください！！");
    }

    const std::array<std::pair<QString, const QString*>, 10> texts = {{
        {QStringLiteral("保存ﾌｫﾙﾀﾞ"), &editSettings.SaveFolder},
        {QStringLiteral("ﾛｰｶﾙﾎﾟｰﾄ(Bind)"), &editSettings.LocalPort},
        {QStringLiteral("ﾘﾓｰﾄﾎｽﾄ"), &editSettings.RemoteHost},
        {QStringLiteral("ﾘﾓｰﾄﾎﾟｰﾄ"), &editSettings.RemotePort},
        {QStringLiteral("保存ﾌｧｲﾙ名"), &editSettings.FixFname},
        {QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To)"), &editSettings.MailAddress},
        {QStringLiteral("件名"), &editSettings.MailSub},
        {QStringLiteral("差出人ﾒｰﾙｱﾄﾞﾚｽ(From)"), &editSettings.FromMailAddress},
        {QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ"), &editSettings.MailServer},
        {QStringLiteral("ﾕｰｻﾞｰ名"), &editSettings.MailUser},
    }};
    // The captions of the fields that fail, one a line, then what is wrong with them.
    const auto refusal = [&texts](bool (*storable)(const QString&), const QString& reason) {
        QStringList lines;
        for (const auto& [name, text] : texts) {
            if (!storable(*text)) {
                lines << name;
            }
        }
        if (lines.isEmpty()) {
            return QString();
        }
        lines << reason;
        return lines.join(CrLf);
    };
    // The settings file encloses texts in double quotes with no escape, so a quote inside a text would cut the value
    // and every value after it would be read from the wrong place.
    const QString quoted = refusal([](const QString& text) { return !text.contains(u'"'); },
                                   QStringLiteral("に \" (ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ) は使用できません！！"));
    if (!quoted.isEmpty()) {
        return quoted;
    }
    const QString unstorable = refusal(Cp932::roundTrips, QStringLiteral("に使用できない文字が含まれています！！"));
    if (!unstorable.isEmpty()) {
        return unstorable;
    }
    // The run would store under another name than the one typed, and the user would look for the wrong file.
    if (safeFileName(editSettings.FixFname) != editSettings.FixFname) {
        return QStringLiteral("保存ﾌｧｲﾙ名") + CrLf + QStringLiteral("に \\ / : * ? < > | と .. 、末尾の . と空白、") +
               CrLf + QStringLiteral("CON PRN AUX NUL COM1～COM9 LPT1～LPT9 という名前は使用できません！！");
    }
    return QString();
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
