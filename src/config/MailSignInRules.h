#pragma once
// The mail sign-in's rules at the settings dialog's OK: when a typed password goes to the store, when the store must
// be asked whether it holds one, and what refuses OK. One password per server and user. Pure: the dialog asks the
// store and shows the texts. Qt Core only.

#include "config/Settings.h"

#include <QString>

// Whether the system's credential store holds a password for a server and user.
enum class StoredPassword
{
    Yes,
    No,
    NoStore, // no credential store on this system
};

// The server and user of the settings the dialog opened with, and what the store said of them then.
struct LoadedSignIn
{
    QString server;
    QString user; // as mailSignInUser gives it
    StoredPassword stored = StoredPassword::No;
};

// The user a password belongs to: blanks around the text are not part of it. Empty: no sign-in.
QString mailSignInUser(const Settings& settings);
// Whether edit still names the server and user of the password loaded.
bool isLoadedSignIn(const Settings& edit, const LoadedSignIn& loaded);

enum class MailPasswordStep
{
    Accept,     // no user; mail off and nothing typed; or a password already stored for the same pair
    StoreTyped, // the typed password goes to the store; mailPasswordNotStoredText refuses OK when it fails
    AskStore,   // mail on and nothing typed for another pair, or for one without a password: mailPasswordRefusal
};

// typed: the password field holds text.
MailPasswordStep mailPasswordStep(const Settings& edit, const LoadedSignIn& loaded, bool typed);
// Once the store was asked for the edited pair: the text that refuses OK, empty when a password is there.
QString mailPasswordRefusal(StoredPassword found, bool sameAsLoaded, const QString& storeError);
QString mailPasswordNotStoredText(const QString& storeError);
