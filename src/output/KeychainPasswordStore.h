#pragma once
// MailPasswordStore on the system's credential store through QtKeychain: the Credential Manager on Windows, the
// Secret Service on Linux. Never a plain-text fallback: without a store the answer is Unavailable.

#include "config/MailPasswordStore.h"

#include <chrono>

class KeychainPasswordStore : public MailPasswordStore
{
public:
    // A locked keyring may ask its user to unlock it; a run must not wait on that for ever.
    static constexpr std::chrono::milliseconds DefaultPatience{20000};

    explicit KeychainPasswordStore(std::chrono::milliseconds patience = DefaultPatience) : m_patience(patience) {}

    Result read(const QString& mailServer, const QString& user) override;
    Result write(const QString& mailServer, const QString& user, const QString& password) override;

private:
    std::chrono::milliseconds m_patience;
};
