#pragma once
// The mail frame's sign-in: a password field that tells whether the system's store holds a password for the server
// and user typed, asks for it again when either changes, and hands it to the store at OK; and the test send. The
// password never reaches Settings or the settings file.

#include "base/MessageSink.h"
#include "config/MailPasswordStore.h"
#include "config/MailSignInRules.h"
#include "config/Settings.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class QLineEdit;
class QPushButton;
class QWidget;

class MailSignIn : public QObject
{
    Q_OBJECT

public:
    struct Tools
    {
        MailPasswordStore* passwords = nullptr;
        // Sends the test message for settings, signing in with password or else the stored one. answer: the
        // server's reply on success, the mail error otherwise.
        std::function<bool(const Settings& settings, const std::optional<QString>& password, QString& answer)> sendTest;
    };

    MailSignIn(Tools tools, QLineEdit* password, QPushButton* test, MessageSink& messages, QWidget* dialog);

    // The dialog's settings as loaded: which server and user the stored password belongs to.
    void load(const Settings& settings);
    // The server or the user was edited.
    void keyChanged(const Settings& edit);
    // At OK, before the settings are written: stores a typed password or checks for a stored one, as
    // mailPasswordStep says. False keeps the dialog open; a box said why.
    bool commit(const Settings& edit);
    void cmdMailTest_Click(const Settings& edit);
    // A test send is on its way: the dialog must not close under it.
    bool busy() const { return m_busy; }

private:
    StoredPassword lookUp(const Settings& settings, QString& error) const;
    void showState(StoredPassword stored, const QString& error);
    void refuse(const QString& text);

    Tools m_tools;
    QLineEdit* m_password;
    QPushButton* m_test;
    MessageSink& m_messages;
    QWidget* m_dialog;
    bool m_loaded = false;
    bool m_busy = false;
    LoadedSignIn m_signIn;
};
