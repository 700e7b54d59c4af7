// Renders the main window as a user sees it after start-up into a PNG file:
//   QT_QPA_PLATFORM=offscreen shot_main_window docs/main_window.png

#include "config/ProgramPaths.h"
#include "config/SettingsFile.h"
#include "ui/MainWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

namespace {

class SilentSink : public MessageSink
{
public:
    void showMessage(const QString&, const QString&, MessageIcon) override {}
};

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_main_window OUTPUT.png\n");
        return 2;
    }
    // Absolute now: loading makes the save folder the current directory.
    const QString output = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();

    // A settings file of its own, so no real settings are touched.
    QTemporaryDir dir;
    ProgramPaths paths;
    paths.ProgramFolder = QDir::toNativeSeparators(dir.path());
    paths.IniPath = dir.filePath(QStringLiteral("zelbo_udp.ini"));
    paths.BackFilePath = dir.filePath(QStringLiteral("Back.txt"));
    Settings defaults;
    defaults.SaveFolder = QDir::toNativeSeparators(dir.path());
    QFile ini(paths.IniPath);
    if (!ini.open(QIODevice::WriteOnly) || ini.write(SettingsFile::formatFile(defaults)) < 0) {
        return 1;
    }
    ini.close();

    SilentSink sink;
    SettingsFile file(paths, sink);
    Settings settings;
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
