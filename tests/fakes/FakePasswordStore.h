#pragma once
// A credential store in memory: what was written, per server and user, and an outcome to force for every call.

#include "config/MailPasswordStore.h"

#include <QMap>
#include <QPair>

#include <optional>

class FakePasswordStore : public MailPasswordStore
{
public:
    QMap<QPair<QString, QString>, QString> passwords;
    std::optional<Outcome> forced; // Unavailable: a system without a store
    int reads = 0;

    Result read(const QString& mailServer, const QString& user) override
    {
        ++reads;
        if (forced) {
            return {*forced, {}, QStringLiteral("forced")};
        }
        const auto it = passwords.constFind({mailServer, user});
        if (it == passwords.constEnd()) {
            return {Outcome::NotFound, {}, {}};
        }
        return {Outcome::Done, *it, {}};
    }

    Result write(const QString& mailServer, const QString& user, const QString& password) override
    {
        if (forced) {
            return {*forced, {}, QStringLiteral("forced")};
        }
        passwords.insert({mailServer, user}, password);
        return {Outcome::Done, {}, {}};
    }
};
