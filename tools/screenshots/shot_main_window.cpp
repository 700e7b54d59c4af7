// Renders the main window as a user sees it after start-up into a PNG file:
//   QT_QPA_PLATFORM=offscreen shot_main_window docs/main_window.png

#include "ShotSupport.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_main_window OUTPUT.png\n");
        return 2;
    }
    // Absolute now: loading makes the save folder the current directory.
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();

    QTemporaryDir dir;
    Settings defaults;
    defaults.SaveFolder = QDir::toNativeSeparators(dir.path());
    ProgramPaths paths;
    if (!prepareSettings(QDir(dir.path()), defaults, paths)) {
        return 1;
    }

    SilentSink sink;
    SettingsFile file(paths, sink);
    SettingsState settings;
    MainWindow window(settings, paths, file, sink);
    if (!window.Form_Load()) {
        return 1;
    }
    window.showAfterLoad();
    QTest::qWait(700); // past the start-up tick, so the idle state is shown
    window.setFileCaption(QDir::separator() + QStringLiteral("ORDERS-20261207.txt"));
    window.ShowStatus(0, QStringLiteral("UDP通信：送受信待ち"));
    window.ShowStatus(1, QStringLiteral("ﾚｺｰﾄﾞ受信<12> : 正常終了"));
    const bool saved = window.grab().save(output);
    return saved ? 0 : 1;
}
