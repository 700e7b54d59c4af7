#pragma once
// MailPasswordStore on the system's credential store: on Linux the Secret Service through QtKeychain
// (SystemPasswordStore.cpp), on Windows the user's Credential Manager called directly through base/
// (SystemPasswordStoreWin.cpp). Never a plain-text fallback: without a store the answer is Unavailable.

#include "config/MailPasswordStore.h"

#include <chrono>

class SystemPasswordStore : public MailPasswordStore
{
public:
    // A locked keyring may ask its user to unlock it; a run must not wait on that for ever. The Credential Manager
    // answers at once and needs none.
    static constexpr std::chrono::milliseconds DefaultPatience{20000};

    explicit SystemPasswordStore(std::chrono::milliseconds patience = DefaultPatience) : m_patience(patience) {}

    Result read(const QString& mailServer, const QString& user) override;
    Result write(const QString& mailServer, const QString& user, const QString& password) override;

private:
    std::chrono::milliseconds m_patience;
};
