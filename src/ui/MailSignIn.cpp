#include "ui/MailSignIn.h"

#include "base/CrLf.h"
#include "config/RefusalRules.h"

#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QWidget>

namespace {

const QString StoreTip = QStringLiteral("ﾊﾟｽﾜｰﾄﾞは設定ﾌｧｲﾙに書かず、ｼｽﾃﾑの資格情報ｽﾄｱ(Windowsの資格情報ﾏﾈｰｼﾞｬｰ)に"
                                        "保存します。保存済みなら、変えるときだけ入力してください");
const QString TestTitle = QStringLiteral("ﾃｽﾄ送信");

bool hasUser(const Settings& settings)
{
    return !mailSignInUser(settings).isEmpty();
}

} // namespace

MailSignIn::MailSignIn(Tools tools, QLineEdit* password, QPushButton* test, MessageSink& messages, QWidget* dialog)
    : QObject(dialog), m_tools(std::move(tools)), m_password(password), m_test(test), m_messages(messages),
      m_dialog(dialog)
{
    m_password->setEchoMode(QLineEdit::Password);
    m_test->setEnabled(static_cast<bool>(m_tools.sendTest));
}

StoredPassword MailSignIn::lookUp(const Settings& settings, QString& error) const
{
    if (m_tools.passwords == nullptr) {
        return StoredPassword::NoStore;
    }
    const MailPasswordStore::Result result = m_tools.passwords->read(settings.MailServer, mailSignInUser(settings));
    error = result.error;
    switch (result.outcome) {
    case MailPasswordStore::Outcome::Done:
        return StoredPassword::Yes;
    case MailPasswordStore::Outcome::Unavailable:
        return StoredPassword::NoStore;
    case MailPasswordStore::Outcome::NotFound:
    case MailPasswordStore::Outcome::Failed:
        return StoredPassword::No;
    default:
        error = QStringLiteral("内部ｴﾗｰ: MailSignIn::lookUp");
        return StoredPassword::No;
    }
}

void MailSignIn::load(const Settings& settings)
{
    QString error;
    m_signIn = {settings.MailServer, mailSignInUser(settings),
                hasUser(settings) ? lookUp(settings, error) : StoredPassword::No};
    m_loaded = true;
    m_password->clear();
    if (hasUser(settings)) {
        showState(m_signIn.stored, error);
    } else {
        m_password->setEnabled(false);
        m_password->setPlaceholderText(QString());
        m_password->setToolTip(StoreTip);
    }
}

void MailSignIn::showState(StoredPassword stored, const QString& error)
{
    m_password->setEnabled(stored != StoredPassword::NoStore);
    m_password->setToolTip(error.isEmpty() ? StoreTip : StoreTip + CrLf + error);
    switch (stored) {
    case StoredPassword::Yes:
        // Typed only to change it.
        m_password->setPlaceholderText(QStringLiteral("保存済み"));
        break;
    case StoredPassword::No:
        m_password->setPlaceholderText(QStringLiteral("要入力"));
        break;
    case StoredPassword::NoStore:
        m_password->setPlaceholderText(QStringLiteral("保存できません"));
        break;
    default:
        m_password->setPlaceholderText(QStringLiteral("内部ｴﾗｰ: MailSignIn::showState"));
        break;
    }
}

void MailSignIn::keyChanged(const Settings& edit)
{
    if (!m_loaded) {
        return;
    }
    if (!hasUser(edit)) {
        m_password->clear();
        m_password->setEnabled(false);
        m_password->setPlaceholderText(QString());
        return;
    }
    // A password belongs to one server and user: another pair needs its own.
    if (isLoadedSignIn(edit, m_signIn)) {
        showState(m_signIn.stored, QString());
    } else {
        m_password->clear();
        showState(m_signIn.stored == StoredPassword::NoStore ? StoredPassword::NoStore : StoredPassword::No, QString());
    }
}

void MailSignIn::refuse(const QString& text)
{
    m_messages.showMessage(text, QCoreApplication::applicationName(), MessageIcon::None);
    if (m_password->isEnabled()) {
        m_password->setFocus();
    }
}

bool MailSignIn::commit(const Settings& edit)
{
    const QString typed = m_password->text();
    switch (mailPasswordStep(edit, m_signIn, !typed.isEmpty())) {
    case MailPasswordStep::Accept:
        return true;
    case MailPasswordStep::StoreTyped: {
        const MailPasswordStore::Result result =
            m_tools.passwords != nullptr ? m_tools.passwords->write(edit.MailServer, mailSignInUser(edit), typed)
                                         : MailPasswordStore::Result{MailPasswordStore::Outcome::Unavailable, {}, {}};
        if (result.outcome == MailPasswordStore::Outcome::Done) {
            return true;
        }
        m_password->clear();
        refuse(mailPasswordNotStoredText(result.error));
        return false;
    }
    case MailPasswordStep::AskStore: {
        QString error;
        const QString refusal = mailPasswordRefusal(lookUp(edit, error), isLoadedSignIn(edit, m_signIn), error);
        if (refusal.isEmpty()) {
            return true;
        }
        refuse(refusal);
        return false;
    }
    default:
        refuse(QStringLiteral("内部ｴﾗｰ: MailSignIn::commit"));
        return false;
    }
}

void MailSignIn::cmdMailTest_Click(const Settings& edit)
{
    if (!m_tools.sendTest || m_busy) {
        return;
    }
    Settings test = edit;
    test.SendMail = 1;
    if (const QString refusal = settingsRefusal(test); !refusal.isEmpty()) {
        m_messages.showMessage(refusal, TestTitle, MessageIcon::None);
        return;
    }
    const QString typed = m_password->text();
    QString answer;
    // The send runs in its own event loop: the dialog keeps painting but takes no input and cannot close meanwhile.
    m_busy = true;
    m_dialog->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool sent = m_tools.sendTest(test, typed.isEmpty() ? std::nullopt : std::optional<QString>(typed), answer);
    QApplication::restoreOverrideCursor();
    m_dialog->setEnabled(true);
    m_busy = false;
    if (sent) {
        m_messages.showMessage(QStringLiteral("ﾃｽﾄ送信しました : ") + test.MailAddress + CrLf +
                                   QStringLiteral("ｻｰﾊﾞｰの応答 : ") + answer,
                               TestTitle, MessageIcon::None);
    } else {
        m_messages.showMessage(QStringLiteral("ﾃｽﾄ送信できませんでした") + CrLf + answer, TestTitle,
                               MessageIcon::Critical);
    }
}
