// The main window's start: the settings file read or made, a missing or late save folder, the first tick and the
// buttons' states, the size and face it comes up in.

#include "MainWindowFixture.h"

#include "ui/UiFont.h"

#include <QApplication>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

class TestMainWindowStart : public QObject, private MainWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { rememberStartFolder(); }
    void init() { resetFixture(); }

    void loadShowsFolderNoteAndCaption()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        QVERIFY(m_sink.boxes.isEmpty());
        QCOMPARE(m_window->windowTitle(), QStringLiteral("ZELBO_UDP for Windows(MAIL対応)"));
        QCOMPARE(child<QLabel>("lblFolder")->text(), m_paths.ProgramFolder);
        QCOMPARE(child<QLabel>("lblNote")->text(),
                 QStringLiteral("ZELBO_UDPはUDPｸﾗｲｱﾝﾄとして動作します。\r\nｲｰｻﾈｯﾄｸﾚｰﾄﾞﾙをUDPｻｰﾊﾞｰに設定してくだい。"
                                "\r\n\r\nTR30/TR31/TR32 Ver.3.0以降に対応しています。"));
        QVERIFY(child<QLabel>("lblNote")->font().bold());
        QCOMPARE(child<QLabel>("lblNote")->font().pointSize(), 12);
        QVERIFY(!child<QProgressBar>("Progbar")->isVisibleTo(m_window.get()));
        QVERIFY(m_window->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!m_window->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QCOMPARE(m_window->minimumSize(), m_window->maximumSize());
        // The window's layout in twips / 15.
        QCOMPARE(child<QPushButton>("cmdComm1")->geometry(), QRect(8, 336, 80, 32));
        QCOMPARE(child<QWidget>("lblStatus")->geometry(), QRect(96, 56, 321, 121));
    }

    void missingFileResetsAndStillComesUp()
    {
        makeWindow(QByteArray());
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("File Read"));
        QCOMPARE(child<QLabel>("lblFolder")->text(), m_paths.ProgramFolder);
        QVERIFY(QFile::exists(m_paths.IniPath));
        // A line found outside the window (the lock file) joins the start-up's own, which the first run repeats.
        m_window->addStartNote(QStringLiteral("ﾛｯｸ"));
        QVERIFY2(status().endsWith(QStringLiteral("\r\nﾛｯｸ")), qPrintable(status()));
        QCOMPARE(m_window->startNotes().mid(1), QStringList{QStringLiteral("ﾛｯｸ")});
    }

    void deletedSaveFolderShowsErrorInStatus()
    {
        Settings s = SettingsFile::defaults(QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("gone"))));
        makeWindow(SettingsFile::formatFile(s));
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("エラー！！"));
        QCOMPARE(status(), QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"));
        // The configured folder stays, and is the one shown (elided where long): no other folder takes its place.
        QCOMPARE(m_settings.effective().SaveFolder, s.SaveFolder);
        QVERIFY(child<QLabel>("lblFolder")->text().endsWith(QStringLiteral("gone")));
    }

    // AutoStart 1 at logon: a save folder that is not there yet holds the automatic start a while, without a box;
    // once it gives up, the box comes up without holding the start, and the folder is kept either way.
    void lateSaveFolderHoldsTheAutomaticStartAWhile()
    {
        const QString late = QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("late")));
        Settings s = SettingsFile::defaults(late);
        s.AutoStart = 1;
        makeWindow(SettingsFile::formatFile(s));
        int started = 0;
        m_window->setCommHandlers({[](int) {}, [&started] { ++started; }, [] { return false; }});
        QVERIFY(m_sink.boxes.isEmpty());
        QCOMPARE(status(), QStringLiteral("保存ﾌｫﾙﾀﾞを待っています : ") + late);
        m_window->showAfterLoad();
        // The first tick enables the window and finds no folder: no start until a later check finds it.
        QTRY_VERIFY(m_window->isEnabled());
        QCOMPARE(started, 0);
        QVERIFY(QDir().mkpath(late));
        QTRY_COMPARE_WITH_TIMEOUT(started, 1, 3 * int(SaveFolderCheckInterval.count()));
        QVERIFY(m_sink.boxes.isEmpty());
        QTRY_COMPARE(status(), QString());

        // The folder found became the current directory, which Windows does not let go.
        QDir::setCurrent(m_startDir);
        QVERIFY(QDir(late).removeRecursively());
        makeWindow(SettingsFile::formatFile(s));
        m_window->setSaveFolderWaitChecks(0);
        started = 0;
        m_window->setCommHandlers({[](int) {}, [&started] { ++started; }, [] { return false; }});
        m_window->showAfterLoad();
        QTRY_COMPARE(started, 1);
        QCOMPARE(m_sink.boxes.size(), 1);
        QVERIFY(!m_sink.boxes[0].waited);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("エラー！！"));
        QTRY_COMPARE(status(), QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"));
        QCOMPARE(m_settings.effective().SaveFolder, late);
    }

    void startUpSizeOneComesUpMinimised()
    {
        Settings s = SettingsFile::defaults(m_paths.ProgramFolder);
        s.StartUpSize = 1;
        makeWindow(SettingsFile::formatFile(s));
        m_window->showAfterLoad();
        QTRY_VERIFY(m_window->isMinimized());
    }

    void commStatesAndTheFirstTick()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->showAfterLoad();
        auto* start = child<QPushButton>("cmdComm0");
        auto* stop = child<QPushButton>("cmdComm1");
        auto* red = child<QFrame>("Status0");
        auto* cyan = child<QFrame>("Status1");
        auto* setting = child<QPushButton>("cmdSetting");
        auto* info = child<QPushButton>("cmdInfo");
        // Loading: every button set usable and both lights shown, but the window takes input only from the first
        // tick on, so no dialog can be open underneath an automatic start.
        QWidget* window = m_window.get();
        QVERIFY(start->isEnabledTo(window) && stop->isEnabledTo(window) && red->isVisible() && cyan->isVisible());
        QVERIFY(!m_window->isEnabled());
        QTest::mouseClick(setting, Qt::LeftButton);
        QTest::mouseClick(info, Qt::LeftButton);
        for (const QWidget* top : QApplication::topLevelWidgets()) {
            QVERIFY2(top == window || !top->isVisible(), qPrintable(top->objectName()));
        }
        // The first tick (AutoStart 0) enables the window and sets the idle state.
        QTRY_VERIFY(m_window->isEnabled());
        QVERIFY(!stop->isEnabled());
        QVERIFY(start->isEnabled() && red->isVisible() && !cyan->isVisible() && setting->isEnabled());
        QVERIFY(!m_window->isRunning());

        m_window->SetCommState(1);
        QVERIFY(!start->isEnabled() && stop->isEnabled() && !red->isVisible() && cyan->isVisible());
        QVERIFY(!setting->isEnabled() && !info->isEnabled());
        m_window->SetCommState(0);
        QVERIFY(start->isEnabled() && !stop->isEnabled() && red->isVisible() && !cyan->isVisible());
        QVERIFY(setting->isEnabled() && info->isEnabled());
        QCOMPARE(red->palette().color(QPalette::Window), QColor(255, 0, 0));
        QCOMPARE(cyan->palette().color(QPalette::Window), QColor(0, 255, 255));
    }

    void tooltipsAndMessageBoxesUseTheWindowsFace()
    {
        // The platform may give them faces of their own, a fixed-pitch one for instance.
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans Mono")), "QTipLabel");
        QApplication::setFont(QFont(QStringLiteral("DejaVu Sans Mono")), "QMessageBox");
        applyJapaneseUiFont();
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        const QString face = QFontInfo(m_window->font()).family();
        QCOMPARE(QFontInfo(QToolTip::font()).family(), face);
        QMessageBox box(QMessageBox::NoIcon, QStringLiteral("File Read"), QStringLiteral("MM"), QMessageBox::Ok);
        QCOMPARE(QFontInfo(box.font()).family(), face);
    }
};

QTEST_MAIN(TestMainWindowStart)
#include "TestMainWindowStart.moc"
