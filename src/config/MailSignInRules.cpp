#include "config/MailSignInRules.h"

#include "base/CrLf.h"

QString mailSignInUser(const Settings& settings)
{
    return settings.MailUser.trimmed();
}

bool isLoadedSignIn(const Settings& edit, const LoadedSignIn& loaded)
{
    return edit.MailServer == loaded.server && mailSignInUser(edit) == loaded.user;
}

MailPasswordStep mailPasswordStep(const Settings& edit, const LoadedSignIn& loaded, bool typed)
{
    if (mailSignInUser(edit).isEmpty()) {
        return MailPasswordStep::Accept;
    }
    if (typed) {
        return MailPasswordStep::StoreTyped;
    }
    // With mail off a missing password waits until mail is switched on.
    if (edit.SendMail != 1 || (isLoadedSignIn(edit, loaded) && loaded.stored == StoredPassword::Yes)) {
        return MailPasswordStep::Accept;
    }
    return MailPasswordStep::AskStore;
}

QString mailPasswordRefusal(StoredPassword found, bool sameAsLoaded, const QString& storeError)
{
    switch (found) {
    case StoredPassword::Yes:
        return QString();
    case StoredPassword::NoStore:
        return QStringLiteral("ﾊﾟｽﾜｰﾄﾞを保存できる資格情報ｽﾄｱがありません") + CrLf + storeError + CrLf +
               QStringLiteral("ﾕｰｻﾞｰ名を空にするか、ｷｬﾝｾﾙしてください");
    case StoredPassword::No:
        return sameAsLoaded ? QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください")
                            : QStringLiteral("ﾒｰﾙｻｰﾊﾞｰかﾕｰｻﾞｰ名が変わりました") + CrLf +
                                  QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください");
    default:
        return QStringLiteral("内部ｴﾗｰ: mailPasswordRefusal");
    }
}

QString mailPasswordNotStoredText(const QString& storeError)
{
    return QStringLiteral("ﾊﾟｽﾜｰﾄﾞを保存できませんでした") + CrLf + storeError;
}
