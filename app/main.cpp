// Creates the application, wires the objects and shows the main window.

#include "base/ProgramPaths.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "link/CommControl.h"
#include "link/UdpLink.h"
#include "output/DiskRunFiles.h"
#include "output/UploadOutput.h"
#include "protocol/Clock.h"
#include "ui/MainWindow.h"
#include "ui/QtMessageSink.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    try {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral(ZELBO_TITLE));
        QApplication::setApplicationVersion(QStringLiteral(ZELBO_VERSION));
        QApplication::setOrganizationName(QStringLiteral(ZELBO_COMPANY));
        QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/zelbo_udp.png")));
        // Before any window or message box exists, so every one of them uses the windows' face.
        ApplyJapaneseUiFont();

        ProgramPaths paths = ProgramPaths::forExecutable(QCoreApplication::applicationFilePath());
        Settings settings;
        QtMessageSink messages;
        SettingsFile settingsFile(paths, messages);

        MainWindow window(settings, paths, settingsFile, messages);
        messages.setParent(&window);

        UdpLink link(window, settings);
        SystemClock clock;
        DiskRunFiles files(paths.BackFilePath);
        UploadOutput output(settings, files, messages, QApplication::applicationName());
        CommControl control(window, link, clock, output, files, settings);
        window.setCommHandlers({
            [&control](int index) { control.cmdComm_Click(index); },
            [&control] { control.Timer1_Timer(); },
            [&control] { return control.Form_Unload(); },
        });
        // A close asked for while a stopped run was still returning is carried out once it has returned.
        control.setCloseWindow([&window] { window.close(); });

        if (!window.Form_Load()) {
            return 1;
        }
        window.showAfterLoad();
        return app.exec();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zelbo_udp: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "zelbo_udp: unexpected error\n");
    }
    return 1;
}
