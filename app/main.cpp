// Creates the application, wires the objects and shows the main window.

#include "CommObjects.h"

#include "base/ProgramPaths.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "ui/AppIcon.h"
#include "ui/FatalErrorBox.h"
#include "ui/MainWindow.h"
#include "ui/QtMessageSink.h"
#include "ui/SessionWatcher.h"
#include "ui/TrayIcon.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QFile>
#include <QThread>

#include <cstdio>
#include <exception>

namespace {

// For the tests that kill the program mid-cycle: ZELBO_TEST_PAUSE_AT names a checkpoint of the cycle's output, where
// the program leaves the file "PAUSED.<checkpoint>" in its folder (a Windows GUI program has no stderr to watch)
// and then stands still long enough to be killed.
void installTestPause(UploadOutput& output, const QString& programFolder)
{
    const QByteArray point = qgetenv("ZELBO_TEST_PAUSE_AT");
    if (point.isEmpty()) {
        return;
    }
    output.setCheckpoint([point, programFolder](const char* reached) {
        if (point == reached) {
            QFile flag(programFolder + QStringLiteral("/PAUSED.") + QString::fromLatin1(point));
            (void)flag.open(QIODevice::WriteOnly);
            flag.close();
            QThread::sleep(120);
        }
    });
}

int run()
{
    ProgramPaths paths = ProgramPaths::forExecutable(QCoreApplication::applicationFilePath());
    Settings settings;
    QtMessageSink messages;
    SettingsFile settingsFile(paths, messages);

    MainWindow window(settings, paths, settingsFile, messages);
    messages.setParent(&window);
    // Before comm, which tells it of every cycle: it must outlive comm.
    TrayIcon tray(window, QApplication::applicationName());

    CommObjects comm(window, settings, paths, messages, QApplication::applicationName());
    comm.connectWindow(window);
    comm.connectTray(tray, window);
    installTestPause(comm.output(), paths.ProgramFolder);
    SessionWatcher session({
        [&comm] { comm.control().sessionEnding(); },
        [&comm] { return comm.control().quitRequested(); },
    });

    if (!window.Form_Load()) {
        return 1;
    }
    window.showAfterLoad();
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
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
            return run();
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
