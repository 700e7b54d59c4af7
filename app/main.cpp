// Creates the application, wires the objects and shows the main window.

#include "config/ProgramPaths.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "ui/MainWindow.h"
#include "ui/QtMessageSink.h"

#include <QApplication>

#include <cstdio>
#include <exception>

int main(int argc, char* argv[])
{
    try {
        QApplication app(argc, argv);
        QApplication::setApplicationName(QStringLiteral(ZELBO_TITLE));
        QApplication::setApplicationVersion(QStringLiteral(ZELBO_VERSION));
        QApplication::setOrganizationName(QStringLiteral(ZELBO_COMPANY));

        ProgramPaths paths = ProgramPaths::forExecutable(QCoreApplication::applicationFilePath());
        Settings settings;
        QtMessageSink messages;
        SettingsFile settingsFile(paths, messages);

        MainWindow window(settings, paths, settingsFile, messages);
        messages.setParent(&window);
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
