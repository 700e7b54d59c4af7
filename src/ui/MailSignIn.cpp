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
    return !settings.MailUser.trimmed().isEmpty();
}

} // namespace

MailSignIn::MailSignIn(Tools tools, QLineEdit* password, QPushButton* test, MessageSink& messages, QWidget* dialog)
    : QObject(dialog), m_tools(std::move(tools)), m_password(password), m_test(test), m_messages(messages),
      m_dialog(dialog)
{
    m_password->setEchoMode(QLineEdit::Password);
    m_test->setEnabled(static_cast<bool>(m_tools.sendTest));
}

MailSignIn::Stored MailSignIn::lookUp(const Settings& settings, QString& error) const
{
    if (m_tools.passwords == nullptr) {
        return Stored::NoStore;
    }
    const MailPasswordStore::Result result = m_tools.passwords->read(settings.MailServer, settings.MailUser.trimmed());
    error = result.error;
    switch (result.outcome) {
    case MailPasswordStore::Outcome::Done:
        return Stored::Yes;
    case MailPasswordStore::Outcome::Unavailable:
        return Stored::NoStore;
    case MailPasswordStore::Outcome::NotFound:
    case MailPasswordStore::Outcome::Failed:
        return Stored::No;
    default:
        error = QStringLiteral("内部ｴﾗｰ: MailSignIn::lookUp");
        return Stored::No;
    }
}

void MailSignIn::load(const Settings& settings)
{
    m_loadedServer = settings.MailServer;
    m_loadedUser = settings.MailUser.trimmed();
    QString error;
    m_loadedState = hasUser(settings) ? lookUp(settings, error) : Stored::No;
    m_loaded = true;
    m_password->clear();
    if (hasUser(settings)) {
        showState(m_loadedState, error);
    } else {
        m_password->setEnabled(false);
        m_password->setPlaceholderText(QString());
        m_password->setToolTip(StoreTip);
    }
}

void MailSignIn::showState(Stored stored, const QString& error)
{
    m_password->setEnabled(stored != Stored::NoStore);
    m_password->setToolTip(error.isEmpty() ? StoreTip : StoreTip + CrLf + error);
    switch (stored) {
    case Stored::Yes:
        // Typed only to change it.
        m_password->setPlaceholderText(QStringLiteral("保存済み"));
        break;
    case Stored::No:
        m_password->setPlaceholderText(QStringLiteral("要入力"));
        break;
    case Stored::NoStore:
        m_password->setPlaceholderText(QStringLiteral("保存できません"));
        break;
    default:
        m_password->setPlaceholderText(QStringLiteral("内部ｴﾗｰ: MailSignIn::showState"));
        break;
    }
}

bool MailSignIn::sameKeyAsLoaded(const Settings& edit) const
{
    return edit.MailServer == m_loadedServer && edit.MailUser.trimmed() == m_loadedUser;
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
    if (sameKeyAsLoaded(edit)) {
        showState(m_loadedState, QString());
    } else {
        m_password->clear();
        showState(m_loadedState == Stored::NoStore ? Stored::NoStore : Stored::No, QString());
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
    if (!hasUser(edit)) {
        return true;
    }
    const QString typed = m_password->text();
    if (!typed.isEmpty()) {
        const MailPasswordStore::Result result =
            m_tools.passwords != nullptr ? m_tools.passwords->write(edit.MailServer, edit.MailUser.trimmed(), typed)
                                         : MailPasswordStore::Result{MailPasswordStore::Outcome::Unavailable, {}, {}};
        if (result.outcome == MailPasswordStore::Outcome::Done) {
            return true;
        }
        m_password->clear();
        refuse(QStringLiteral("ﾊﾟｽﾜｰﾄﾞを保存できませんでした") + CrLf + result.error);
        return false;
    }
    if (edit.SendMail != 1 || (sameKeyAsLoaded(edit) && m_loadedState == Stored::Yes)) {
        return true;
    }
    QString error;
    switch (lookUp(edit, error)) {
    case Stored::Yes:
        return true;
    case Stored::NoStore:
        refuse(QStringLiteral("ﾊﾟｽﾜｰﾄﾞを保存できる資格情報ｽﾄｱがありません") + CrLf + error + CrLf +
               QStringLiteral("ﾕｰｻﾞｰ名を空にするか、ｷｬﾝｾﾙしてください"));
        return false;
    case Stored::No:
        refuse(sameKeyAsLoaded(edit) ? QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください")
                                     : QStringLiteral("ﾒｰﾙｻｰﾊﾞｰかﾕｰｻﾞｰ名が変わりました") + CrLf +
                                           QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください"));
        return false;
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
