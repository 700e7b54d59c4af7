#pragma once
// Where the mail password lives: the system's credential store, never a file of ours. One password per mail server and
// user. An interface, so that the dialog, the mailer and the command line are tested without a store;
// SystemPasswordStore (output/) is the real one.

#include <QString>

class MailPasswordStore
{
public:
    enum class Outcome
    {
        Done,
        NotFound,
        // No credential store on this system (no Secret Service on a Linux desktop): nothing is kept anywhere.
        Unavailable,
        Failed,
    };

    struct Result
    {
        Outcome outcome = Outcome::Failed;
        QString password; // read only
        QString error;    // the store's own words when not Done
    };

    virtual ~MailPasswordStore() = default;
    // Each call returns once the store has answered or its time is up; the caller's event loop runs meanwhile.
    virtual Result read(const QString& mailServer, const QString& user) = 0;
    virtual Result write(const QString& mailServer, const QString& user, const QString& password) = 0;
};
