#include "ProgramMain.h"

#include "CommObjects.h"
#include "FleetCommand.h"
#include "MailCommand.h"
#include "PolicyWatch.h"
#include "SingleCopy.h"
#include "StartAndEndEvents.h"

#include "base/CrLf.h"
#include "base/Platform.h"
#include "base/ProgramPaths.h"
#include "base/SystemEvent.h"
#include "config/SettingsFile.h"
#include "config/SettingsState.h"
#include "output/CycleHistory.h"
#include "output/SystemPasswordStore.h"
#include "output/MailSender.h"
#include "output/StatusFile.h"
#include "ui/AppIcon.h"
#include "ui/FatalErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/QtMessageSink.h"
#include "ui/SessionWatcher.h"
#include "ui/TrayIcon.h"
#include "ui/UiFont.h"
#include "ui/WindowPlacement.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QSysInfo>
#include <QTextStream>

#include <cstdio>
#include <cstring>
#include <exception>
#include <optional>
#include <utility>

namespace {

// A start nobody waits at: the Startup shortcuts' and Windows' restart after an update. Beside a copy that holds the
// folder it ends at once, raising nothing and showing nothing.
const QString BackgroundOption = QStringLiteral("--background");

// The value of --profile NAME (or --profile=NAME); nothing without one, an empty name for one without a value.
std::optional<QString> profileArgument(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        if (arguments[i] == QStringLiteral("--profile")) {
            return i + 1 < arguments.size() ? arguments[i + 1] : QString();
        }
        if (arguments[i].startsWith(QStringLiteral("--profile="))) {
            return arguments[i].mid(10);
        }
    }
    return std::nullopt;
}

// Lines of the day's history for what the start-up, or later IT's policies, could not take. The one place such notes
// leave the window: the event log is to be written from here as well.
void recordStartNotes(const QString& historyPath, const QStringList& notes)
{
    CycleHistory history(historyPath);
    for (const QString& note : notes) {
        CycleHistoryEntry entry;
        entry.time = QDateTime::currentDateTime();
        entry.failure = note;
        (void)history.append(entry);
    }
}

// The paths of the data folder a command acts for (--profile's, if given); nothing, said on report, for a profile name
// that cannot name a folder.
std::optional<ProgramPaths> commandPaths(QTextStream& report)
{
    const std::optional<QString> profileGiven = profileArgument(QCoreApplication::arguments());
    const QString profile = profileGiven.value_or(QString());
    if (profileGiven && !ProgramPaths::isProfileName(profile)) {
        report << "zelbo_udp: the profile name cannot name a folder: " << profile << Qt::endl;
        return std::nullopt;
    }
    return ProgramPaths::forExecutable(QCoreApplication::applicationFilePath(), profile);
}

// `--store-mail-password [--profile NAME] [--keep-blanks]`: no window, no lock; the password from standard input into
// the store.
int storeMailPasswordCommand()
{
    QTextStream report(stdout);
    const std::optional<ProgramPaths> paths = commandPaths(report);
    if (!paths) {
        return 2;
    }
    QFile input;
    (void)input.open(stdin, QIODevice::ReadOnly);
    SystemPasswordStore store;
    const bool keepBlanks = QCoreApplication::arguments().contains(QLatin1String(KeepBlanksOption));
    return storeMailPassword(*paths, readPolicyValues(systemPolicyFile()).values, store, input, report, keepBlanks);
}

int run(const WiringHook& wired)
{
    QtMessageSink messages;
    const std::optional<QString> profileGiven = profileArgument(QCoreApplication::arguments());
    const QString profile = profileGiven.value_or(QString());
    if (profileGiven && !ProgramPaths::isProfileName(profile)) {
        messages.showMessage(QStringLiteral("ﾌﾟﾛﾌｧｲﾙ名 \"") + profile +
                                 QStringLiteral("\" はﾌｫﾙﾀﾞ名に使用できないため起動できません"),
                             QApplication::applicationName(), MessageIcon::Critical);
        return 1;
    }
    ProgramPaths paths = ProgramPaths::forExecutable(QCoreApplication::applicationFilePath(), profile);
    // Before anything reads or writes a file of the folder: a second copy touches none of them.
    SingleCopy copy(paths.dataFolder);
    const QStringList arguments = QCoreApplication::arguments().mid(1);
    const bool background = arguments.contains(BackgroundOption);
    const SingleCopy::Claim claim = background ? copy.claimInBackground() : copy.claim();
    switch (claim) {
    case SingleCopy::Claim::HandedOver:
    case SingleCopy::Claim::HeldElsewhere:
        return 0;
    case SingleCopy::Claim::NoAnswer:
        messages.showMessage(QStringLiteral("ZELBO_UDPはこのﾌｫﾙﾀﾞで既に起動しています。") + CrLf + paths.dataFolder,
                             QApplication::applicationName(), MessageIcon::None);
        return 0;
    default:
        break;
    }
    // A restart after sign-in beside a copy the Startup folder already started leaves that one alone.
    registerForRestart(background ? arguments : arguments + QStringList{BackgroundOption});
    const SystemEventWriter systemLog = writeSystemEvent;
    const StartAndEndEvents startAndEnd(systemLog, paths.dataFolder, profile);

    // The user's settings come with the window's start-up; IT's policies go over them from the first.
    SettingsState settings;
    SettingsFile settingsFile(paths, messages);
    PolicyWatch policies(settings, [] { return readPolicyValues(systemPolicyFile()); });
    policies.start();

    MainWindow window(settings, paths, settingsFile, messages);
    if (!profile.isEmpty()) {
        window.setWindowTitle(window.windowTitle() + QStringLiteral(" - ") + profile);
    }
    messages.setParent(&window);
    copy.setShowRequested([&window, systemLog, &paths] {
        bringToFront(&window);
        systemLog(SystemEvent::SecondStartHandedOver, {QDir::toNativeSeparators(paths.dataFolder)});
    });
    // Before comm, which tells them of every cycle: they must outlive comm. The status file is made once the settings
    // name IT's folder.
    TrayIcon tray(window, QApplication::applicationName());
    std::optional<StatusFile> status;

    // The mail password lives in the system's credential store, read when a mail or the dialog needs it.
    SystemPasswordStore passwords;
    MailSender testMailer;
    testMailer.setPasswordStore(&passwords);
    window.setMailTools(mailSignInTools(passwords, testMailer));

    CommObjects comm(window, settings.effective(), paths, messages, QApplication::applicationName());
    comm.output().setMailPasswordStore(&passwords);
    comm.connectWindow(window);
    comm.connectTray(tray, window);
    comm.connectSystemLog(systemLog);
    SessionWatcher session({
        [&comm] {
            comm.control().sessionEnding();
            // A failure still repeating gets its closing line, and waiting history lines their last chance.
            comm.output().recorder().flush();
            comm.output().finishFileWork();
        },
        [&comm] { return comm.control().quitRequested(); },
        [&comm] { comm.control().sessionEndCancelled(); },
    });
    if (wired) {
        wired(comm, paths, session);
    }

    if (!window.Form_Load()) {
        return 1;
    }
    QStringList historyNotes = window.historyNotes();
    const QStringList policyNotes = policies.untoldNotes();
    QStringList startNotes = policyNotes;
    // Said at every such start, since nothing keeps a second copy out meanwhile.
    if (claim == SingleCopy::Claim::Unlocked) {
        startNotes << copy.unlockedNote();
        systemLog(SystemEvent::LockNotMade, {copy.unlockedNote()});
    }
    for (const QString& refused : window.refusedPresets()) {
        systemLog(SystemEvent::PresetRefused, {refused});
    }
    for (const QString& note : policyNotes) {
        systemLog(SystemEvent::PolicyNote, {note});
    }
    for (const QString& note : startNotes) {
        window.addStartNote(note);
    }
    historyNotes << startNotes;
    const auto tellPolicies = [&window, &policies, &paths, systemLog] {
        const QStringList notes = policies.untoldNotes();
        for (const QString& note : notes) {
            window.ShowStatus(1, note);
            systemLog(SystemEvent::PolicyNote, {note});
        }
        recordStartNotes(paths.historyPath, notes);
    };
    QObject::connect(&policies, &PolicyWatch::changed, &window, [&window, &status, &settings, tellPolicies] {
        window.showPolicies();
        tellPolicies();
        // STATUSFOLDER has no control: only a policy changes it while the program runs.
        if (status) {
            status->setStatusFolder(settings.effective().StatusFolder);
        }
    });
    QObject::connect(&window, &MainWindow::settingsApplied, &window, tellPolicies);
    QObject::connect(&window, &MainWindow::commStateChanged, &policies, &PolicyWatch::commStateChanged);
    comm.control().setStartNote(window.startNotes().join(CrLf));
    recordStartNotes(paths.historyPath, historyNotes);
    status.emplace(StatusIdentity{QApplication::applicationVersion(), QSysInfo::machineHostName(), userName(), profile,
                                  paths.dataFolder},
                   paths.statusPath, settings.effective().StatusFolder);
    comm.connectStatus(*status, window);
    status->write();
    window.showAfterLoad();
    return QApplication::exec();
}

} // namespace

int programMain(int argc, char* argv[], const WiringHook& wired)
{
    // A command for scripts needs no display: a Linux session without one must run it too.
    bool fleetWindow = false;
    for (int i = 1; i < argc; ++i) {
        const bool storePassword = std::strcmp(argv[i], StoreMailPasswordOption) == 0;
        if (storePassword || std::strcmp(argv[i], FleetReportOption) == 0) {
            // Their lines are for the prompt or script that started them, the first word included: a Windows program
            // has no console of its own.
            attachParentConsole();
            QCoreApplication app(argc, argv);
            QCoreApplication::setApplicationName(QStringLiteral(ZELBO_TITLE));
            QCoreApplication::setOrganizationName(QStringLiteral(ZELBO_COMPANY));
            if (storePassword) {
                return storeMailPasswordCommand();
            }
            QTextStream report(stdout);
            const std::optional<ProgramPaths> paths = commandPaths(report);
            return paths ? fleetReportCommand(QCoreApplication::arguments(), *paths,
                                              readPolicyValues(systemPolicyFile()).values)
                         : 2;
        }
        fleetWindow = fleetWindow || std::strcmp(argv[i], FleetWindowOption) == 0;
    }
    try {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral(ZELBO_TITLE));
        QApplication::setApplicationVersion(QStringLiteral(ZELBO_VERSION));
        QApplication::setOrganizationName(QStringLiteral(ZELBO_COMPANY));
        QApplication::setWindowIcon(applicationIcon());
        // Before any window or message box exists, so every one of them uses the windows' face.
        applyJapaneseUiFont();

        // Caught while the application still exists, so the error can be shown in a box. Its sink has no owner
        // window, which may be gone by then.
        QtMessageSink fatalMessages;
        FatalErrorBox fatalError(fatalMessages);
        try {
            // IT's window over every copy's status file: no lock, no settings of its own, no run.
            if (fleetWindow) {
                QTextStream report(stdout);
                const std::optional<ProgramPaths> paths = commandPaths(report);
                return paths ? fleetWindowCommand(QCoreApplication::arguments(), *paths,
                                                  readPolicyValues(systemPolicyFile()).values)
                             : 2;
            }
            return run(wired);
        } catch (const std::exception& e) {
            fatalError.report(QString::fromLocal8Bit(e.what()));
        } catch (...) {
            fatalError.report(QStringLiteral("unexpected error"));
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelbo_udp: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "zelbo_udp: unexpected error\n");
    }
    return 1;
}
