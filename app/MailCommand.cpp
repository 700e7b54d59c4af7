#include "MailCommand.h"

#include "base/MessageSink.h"
#include "base/ProgramPaths.h"
#include "config/MailPasswordInput.h"
#include "config/MailPasswordStore.h"
#include "config/SettingsCheck.h"
#include "config/SettingsFile.h"
#include "config/SettingsOrPresets.h"
#include "output/MailSender.h"

#include <QFile>
#include <QIODevice>
#include <QTextStream>

namespace {

// Reading a settings file shows nothing; a sink is only what SettingsFile needs to exist.
class SilentSink : public MessageSink
{
public:
    void showMessage(const QString&, const QString&, MessageIcon) override {}
};

std::optional<QByteArray> presetBytes(const ProgramPaths& paths)
{
    QFile presets(paths.presetPath);
    if (paths.presetPath.isEmpty() || !presets.open(QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    return presets.readAll();
}

std::optional<Settings> settingsFor(const ProgramPaths& paths)
{
    SilentSink silent;
    const SettingsFile file(paths, silent);
    Settings settings;
    const ReadResult read = file.ReadSettingsFile(settings);
    // Before the first start: the user's earlier settings file where that start will take it.
    if (read == ReadResult::Missing && earlierSettings(paths.earlierSettingsPath, settings)) {
        return settings;
    }
    // Only a missing settings file looks at the presets.
    return settingsOrPresets(read, settings, read == ReadResult::Missing ? presetBytes(paths) : std::nullopt);
}

QString refusalText(MailPasswordInput::Refusal refusal)
{
    const QString notStored = QStringLiteral(". Nothing stored");
    switch (refusal) {
    case MailPasswordInput::Refusal::Empty:
        return QStringLiteral("no password on standard input");
    case MailPasswordInput::Refusal::Utf16:
        return QStringLiteral("standard input is UTF-16 (it begins with a byte order mark); save the password as UTF-8 "
                              "or ANSI text") +
               notStored;
    case MailPasswordInput::Refusal::Nul:
        return QStringLiteral("the password on standard input holds a NUL character (UTF-16 text?); save it as UTF-8 "
                              "or ANSI text") +
               notStored;
    case MailPasswordInput::Refusal::Blanks:
        return QStringLiteral("the password on standard input begins or ends with a blank (\"echo secret > file\" "
                              "leaves one)") +
               notStored + QStringLiteral("; give ") + QLatin1String(KeepBlanksOption) +
               QStringLiteral(" if the blanks belong to the password");
    default:
        return QStringLiteral("internal error: refusalText");
    }
}

} // namespace

MailSignIn::Tools mailSignInTools(MailPasswordStore& store, const MailSender& sender)
{
    return {&store, [&sender](const Settings& settings, const std::optional<QString>& password, QString& answer) {
                MailSender::Mail mail = MailSender::testMail(settings);
                mail.password = password;
                QString reply;
                if (!sender.send(mail, answer, &reply)) {
                    return false;
                }
                answer = reply;
                return true;
            }};
}

int storeMailPassword(const ProgramPaths& paths, const PolicyValues& policies, MailPasswordStore& store,
                      QIODevice& input, QTextStream& report, bool keepBlanks)
{
    std::optional<Settings> settings = settingsFor(paths);
    // The mail signs in with the server and user the policies give, if they do; a settings file that the next start
    // resets leaves the defaults under them.
    if (settings || !policies.isEmpty()) {
        settings = applyPolicies(policies, settings.value_or(SettingsFile::defaults(QString()))).effective;
    }
    if (!settings) {
        report << "zelbo_udp: no readable settings file or presets in " << paths.dataFolder << Qt::endl;
        return 2;
    }
    const QString user = settings->MailUser.trimmed();
    if (user.isEmpty() || settings->MailServer.trimmed().isEmpty()) {
        report << "zelbo_udp: the settings name no mail server and user (MAILSERVER, MAILUSER) in " << paths.dataFolder
               << Qt::endl;
        return 2;
    }
    const MailPasswordInput line = MailPasswordInput::fromLine(input.readLine(), keepBlanks);
    if (line.refusal != MailPasswordInput::Refusal::None) {
        report << "zelbo_udp: " << refusalText(line.refusal) << Qt::endl;
        return 2;
    }
    const MailPasswordStore::Result result = store.write(settings->MailServer, user, line.password);
    if (result.outcome != MailPasswordStore::Outcome::Done) {
        report << "zelbo_udp: the password could not be stored: " << result.error << Qt::endl;
        return 1;
    }
    report << "zelbo_udp: password stored for " << user << " on " << settings->MailServer.trimmed() << Qt::endl;
    return 0;
}
