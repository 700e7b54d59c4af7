#include "output/SystemPasswordStore.h"

#include "base/CredentialBlob.h"
#include "base/Platform.h"
#include "output/MailHeaders.h"

#include <chrono>

// Windows: the user's Credential Manager, called directly (base/Platform), one generic credential per server and user.
// It answers at once, so there is nothing to wait for and the patience is not needed.

namespace {

QString targetName(const QString& mailServer, const QString& user)
{
    return QStringLiteral("ZELBO_UDP/") + MailHeaders::passwordKey(mailServer, user);
}

MailPasswordStore::Result resultOf(const StoredCredential& stored)
{
    switch (stored.outcome) {
    case StoredCredential::Outcome::Done:
        return {MailPasswordStore::Outcome::Done, CredentialBlob::toPassword(stored.secret), {}};
    case StoredCredential::Outcome::NotFound:
        return {MailPasswordStore::Outcome::NotFound, {}, {}};
    case StoredCredential::Outcome::Unavailable:
        // The system's own text only says that no such logon session exists.
        return {MailPasswordStore::Outcome::Unavailable,
                {},
                QStringLiteral("このﾛｸﾞｵﾝ(ﾈｯﾄﾜｰｸﾛｸﾞｵﾝ)では資格情報ﾏﾈｰｼﾞｬｰを使用できません : ") +
                    QString::number(stored.error.number) + QLatin1Char(' ') + stored.error.description};
    case StoredCredential::Outcome::Failed:
        return {MailPasswordStore::Outcome::Failed,
                {},
                QString::number(stored.error.number) + QLatin1Char(' ') + stored.error.description};
    default:
        return {MailPasswordStore::Outcome::Failed, {}, QStringLiteral("内部ｴﾗｰ: SystemPasswordStore")};
    }
}

} // namespace

MailPasswordStore::Result SystemPasswordStore::read(const QString& mailServer, const QString& user)
{
    return resultOf(readCredential(targetName(mailServer, user)));
}

MailPasswordStore::Result SystemPasswordStore::write(const QString& mailServer, const QString& user,
                                                     const QString& password)
{
    return resultOf(writeCredential(targetName(mailServer, user), user, CredentialBlob::fromPassword(password)));
}
