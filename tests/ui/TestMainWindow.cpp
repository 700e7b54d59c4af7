#include "CommObjects.h"

#include "base/Cp932.h"
#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "link/LinkTestSupport.h"
#include "ui/MainWindow.h"
#include "ui/QtMessageSink.h"
#include "ui/SessionWatcher.h"
#include "ui/TrayIcon.h"
#include "ui/UiFont.h"

#include <QApplication>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QNetworkDatagram>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolTip>
#include <QUdpSocket>

class TestMainWindow : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    ProgramPaths m_paths;
    Settings m_settings;
    RecordingMessageSink m_sink;
    std::unique_ptr<SettingsFile> m_file;
    std::unique_ptr<MainWindow> m_window;
    std::unique_ptr<CommObjects> m_comm;
    QString m_startDir;

    template <typename T> T* child(const char* name) const
    {
        return m_window->findChild<T*>(QString::fromLatin1(name));
    }
    // The status box's text as the run wrote it, CR LF between lines.
    QString status() const
    {
        return child<QPlainTextEdit>("lblStatus")->toPlainText().replace(u'\n', QStringLiteral("\r\n"));
    }
    // The end of the last line lies inside the box's visible area.
    bool newestLineInView() const
    {
        const auto* box = child<QPlainTextEdit>("lblStatus");
        QTextCursor end(box->document());
        end.movePosition(QTextCursor::End);
        return box->viewport()->rect().contains(box->cursorRect(end));
    }

    void makeWindow(const QByteArray& ini)
    {
        if (!ini.isEmpty()) {
            QFile file(m_paths.IniPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ini);
        }
        m_file = std::make_unique<SettingsFile>(m_paths, m_sink);
        m_window = std::make_unique<MainWindow>(m_settings, m_paths, *m_file, m_sink);
        QVERIFY(m_window->Form_Load());
    }
    // Start, Stop and close go to CommControl as in the program.
    void connectComm()
    {
        m_comm = std::make_unique<CommObjects>(*m_window, m_settings, m_paths, m_sink, QStringLiteral("ZELBO_UDP"));
        m_comm->connectWindow(*m_window);
    }

private slots:
    void initTestCase() { m_startDir = QDir::currentPath(); }

    void init()
    {
        QDir::setCurrent(m_startDir);
        QVERIFY(m_dir.isValid());
        m_paths = testProgramPaths(m_dir.path());
        QFile::remove(m_paths.IniPath);
        m_sink.boxes.clear();
        m_settings = Settings();
        m_comm.reset();
        m_window.reset();
    }

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
        const QString note = QStringLiteral("ﾛｯｸﾌｧｲﾙ");
        m_window->addStartNote(note);
        QVERIFY2(status().endsWith(QStringLiteral("\r\n") + note), qPrintable(status()));
        QCOMPARE(m_window->startNotes().size(), 2);
        QCOMPARE(m_window->startNotes().last(), note);
    }

    void deletedSaveFolderShowsErrorInStatus()
    {
        Settings s = SettingsFile::defaults(QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("gone"))));
        makeWindow(SettingsFile::formatFile(s));
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("エラー！！"));
        QCOMPARE(status(), QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません\r\n再設定を行ってください！！"));
        // The configured folder stays, and is the one shown (elided where long): no other folder takes its place.
        QCOMPARE(m_settings.SaveFolder, s.SaveFolder);
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
        QCOMPARE(m_settings.SaveFolder, late);
    }

    void startUpSizeOneComesUpMinimised()
    {
        Settings s = SettingsFile::defaults(m_paths.ProgramFolder);
        s.StartUpSize = 1;
        makeWindow(SettingsFile::formatFile(s));
        m_window->showAfterLoad();
        QTRY_VERIFY(m_window->isMinimized());
    }

    void showStatusModes()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->ShowStatus(1, QStringLiteral("異常終了"));
        QTRY_COMPARE(status(), QStringLiteral("\r\n異常終了")); // appending to an empty box starts with an empty line
        m_window->ShowStatus(0, QStringLiteral("UDP通信：送受信待ち"));
        m_window->ShowStatus(1, QStringLiteral("ﾚｺｰﾄﾞ受信<3> : 正常終了"));
        m_window->ShowStatus(2, QStringLiteral("ignored"));
        m_window->ShowStatus(-1, QStringLiteral("ignored"));
        QTRY_COMPARE(status(), QStringLiteral("UDP通信：送受信待ち\r\nﾚｺｰﾄﾞ受信<3> : 正常終了"));
        m_window->setStatusText(QStringLiteral("replaced"));
        QTRY_COMPARE(status(), QStringLiteral("replaced"));
    }

    void aFullStatusBoxShowsItsNewestLines()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        connectComm();
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        m_window->setRunning(true);
        m_window->SetCommState(1);
        m_window->ShowStatus(0, QStringLiteral("UDP通信：送受信待ち"));
        for (int i = 1; i <= 300; ++i) {
            // Every third line is long enough to wrap.
            m_window->ShowStatus(1, i % 3 == 0 ? QStringLiteral("ﾌｧｲﾙ名受信 : CRC ｴﾗｰ %1 ").arg(i).repeated(4)
                                               : QStringLiteral("異常終了 %1").arg(i));
        }
        QTRY_VERIFY(status().endsWith(QStringLiteral("異常終了 299\r\n") +
                                      QStringLiteral("ﾌｧｲﾙ名受信 : CRC ｴﾗｰ 300 ").repeated(4)));
        const QStringList lines = status().split(QStringLiteral("\r\n"));
        QCOMPARE(lines.size(), 200);
        QCOMPARE(lines.first(), QStringLiteral("異常終了 101"));
        QVERIFY(newestLineInView());

        // Stop: its line and the run's last result are in view at once.
        m_window->ShowStatus(1, QStringLiteral("異常終了"));
        QTest::mouseClick(child<QPushButton>("cmdComm1"), Qt::LeftButton);
        QTRY_VERIFY(status().endsWith(QStringLiteral("\r\n異常終了\r\n通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました")));
        QVERIFY(newestLineInView());

        m_window->ShowStatus(0, QStringLiteral("ﾚｺｰﾄﾞ受信 :  1/2"));
        QTRY_COMPARE(status(), QStringLiteral("ﾚｺｰﾄﾞ受信 :  1/2"));
        QVERIFY(newestLineInView());
    }

    void displaysFollowAtScreenRateAndCatchUpWhenARunEnds()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        auto* bar = child<QProgressBar>("Progbar");
        m_window->SetCommState(1);
        m_window->ShowStatus(0, QStringLiteral("UDP通信：送受信待ち"));
        m_window->setProgressMax(500);
        m_window->setProgressValue(0);
        m_window->setProgressVisible(true);
        QCOMPARE(status(), QStringLiteral("UDP通信：送受信待ち"));
        // A busy run does not redraw for every record, not even when each of its reply waits asks for the displays
        // that are due (once in a screen update at most)...
        int shownAtOnce = 0;
        for (int i = 1; i <= 500; ++i) {
            m_window->ShowStatus(0, QStringLiteral("ﾚｺｰﾄﾞ受信 : %1/500").arg(i));
            m_window->setProgressValue(i);
            m_window->flushDueDisplays();
            shownAtOnce += bar->value() == i ? 1 : 0;
        }
        QVERIFY2(shownAtOnce < 100, qPrintable(QString::number(shownAtOnce)));
        // ...but the latest values show within a screen update once events run,
        QTRY_COMPARE_WITH_TIMEOUT(status(), QStringLiteral("ﾚｺｰﾄﾞ受信 : 500/500"), 1000);
        QCOMPARE(bar->value(), 500);
        // and at once when the run ends, with the bar full at END.
        m_window->setProgressValue(500);
        m_window->ShowStatus(1, QStringLiteral("ﾚｺｰﾄﾞ受信<500> : 正常終了"));
        m_window->setProgressVisible(false);
        m_window->SetCommState(0);
        QCOMPARE(status(), QStringLiteral("ﾚｺｰﾄﾞ受信 : 500/500\r\nﾚｺｰﾄﾞ受信<500> : 正常終了"));
        QCOMPARE(bar->value(), 500);
        QVERIFY(!bar->isVisible());
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

    void doubleClickOnTheFreeAreaMinimises_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<bool>("minimised");
        QTest::newRow("free area below the headings") << QPoint(40, 150) << true;
        QTest::newRow("note") << QPoint(200, 250) << false;
        QTest::newRow("status box") << QPoint(200, 100) << false;
    }
    void doubleClickOnTheFreeAreaMinimises()
    {
        QFETCH(QPoint, pos);
        QFETCH(bool, minimised);
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        QTest::mouseDClick(m_window.get(), Qt::LeftButton, Qt::NoModifier, pos);
        if (minimised) {
            QTRY_VERIFY(m_window->isMinimized());
        } else {
            QCoreApplication::processEvents();
            QVERIFY(!m_window->isMinimized());
        }
    }

    void closeDuringARunActsAsStop()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        connectComm();
        m_window->show();
        m_window->setRunning(true);
        m_window->SetCommState(1);
        QVERIFY(!m_window->close());
        QVERIFY(m_window->isVisible());
        QVERIFY(!m_window->isRunning());
        QVERIFY(child<QPushButton>("cmdComm0")->isEnabled());
        QTRY_VERIFY(status().endsWith(QStringLiteral("\r\n通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました")));
    }

    void captionsShowTextAsItIs_data()
    {
        QTest::addColumn<QString>("label");
        QTest::newRow("folder") << QStringLiteral("lblFolder");
        QTest::newRow("file") << QStringLiteral("lblFile");
        QTest::newRow("status") << QStringLiteral("lblStatus");
    }
    void captionsShowTextAsItIs()
    {
        QFETCH(QString, label);
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        // A folder or terminal file name that looks like markup is still a name.
        const QString text = QStringLiteral("/srv/<b>in</b>&lt;x");
        if (label == QStringLiteral("lblFolder")) {
            m_window->setSaveFolderCaption(text);
        } else if (label == QStringLiteral("lblFile")) {
            m_window->setFileCaption(text);
        } else {
            m_window->ShowStatus(0, text);
            QTRY_COMPARE(status(), text);
            return;
        }
        const auto* shown = m_window->findChild<QLabel*>(label);
        QCOMPARE(shown->text(), text);
        QVERIFY(shown->sizeHint().width() >= shown->fontMetrics().horizontalAdvance(text));
    }

    void fileViewerPath_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("path");
        const QString sep = QDir::separator();
        QTest::newRow("no trailing separator") << QStringLiteral("/data/in") << sep + QStringLiteral("A.txt")
                                               << QStringLiteral("/data/in") + sep + QStringLiteral("A.txt");
        QTest::newRow("trailing separator") << QStringLiteral("/data/in") + sep << sep + QStringLiteral("A.txt")
                                            << QStringLiteral("/data/in") + sep + QStringLiteral("A.txt");
        QTest::newRow("spaces kept") << QStringLiteral("/my data") << sep + QStringLiteral("B C.txt")
                                     << QStringLiteral("/my data") + sep + QStringLiteral("B C.txt");
    }
    void fileViewerPath()
    {
        QFETCH(QString, folder);
        QFETCH(QString, file);
        QFETCH(QString, path);
        QCOMPARE(::fileViewerPath(folder, file), path);
    }

    void doubleClickOnTheFileNameOpensTheFile()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QStringList opened;
        bool editorStarts = true;
        m_window->setFileOpener([&](const QString& path) {
            opened << path;
            return editorStarts;
        });
        auto* file = child<QLabel>("lblFile");
        QTest::mouseDClick(file, Qt::LeftButton);
        QVERIFY(opened.isEmpty()); // nothing to open before a run
        m_window->ShowStatus(0, QStringLiteral("ﾚｺｰﾄﾞ受信<3> : 正常終了"));
        m_window->setFileCaption(QDir::separator() + QStringLiteral("ORDERS.txt"));
        const QString path = m_paths.ProgramFolder + QDir::separator() + QStringLiteral("ORDERS.txt");
        QTest::mouseDClick(file, Qt::LeftButton);
        QCOMPARE(opened, QStringList{path});
        m_window->flushDisplays();
        QCOMPARE(status(), QStringLiteral("ﾚｺｰﾄﾞ受信<3> : 正常終了"));

        // An editor that cannot start is reported below the run's last status.
        editorStarts = false;
        QTest::mouseDClick(file, Qt::LeftButton);
        QTRY_COMPARE(status(), QStringLiteral("ﾚｺｰﾄﾞ受信<3> : 正常終了\r\nﾌｧｲﾙを開けません : ") + path);
    }

    void aLongSaveFolderIsShortenedInTheMiddle()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        const QString sep = QDir::separator();
        const QString folder = sep + QStringLiteral("srv") + (sep + QStringLiteral("受信データ")).repeated(30) + sep +
                               QStringLiteral("last");
        m_window->setSaveFolderCaption(folder);
        auto* label = child<QLabel>("lblFolder");
        QCOMPARE(label->toolTip(), folder);
        auto checkShown = [&] {
            const QString shown = label->text();
            QVERIFY2(shown.startsWith(sep + QStringLiteral("srv")) && shown.endsWith(sep + QStringLiteral("last")) &&
                         shown.size() < folder.size(),
                     qPrintable(shown));
            QVERIFY(label->fontMetrics().horizontalAdvance(shown) <= label->contentsRect().width());
        };
        checkShown();
        label->resize(label->width() / 2, label->height());
        checkShown();

        // The file viewer opens the file in the whole folder.
        QStringList opened;
        m_window->setFileOpener([&](const QString& path) {
            opened << path;
            return true;
        });
        m_window->setFileCaption(sep + QStringLiteral("A.txt"));
        QTest::mouseDClick(child<QLabel>("lblFile"), Qt::LeftButton);
        QCOMPARE(opened, QStringList{folder + sep + QStringLiteral("A.txt")});
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

    void boxesOfARunLeaveItGoingAndReplaceTheirKind()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QtMessageSink sink(m_window.get());
        auto openBoxes = [this] {
            QStringList texts;
            for (const QMessageBox* box : m_window->findChildren<QMessageBox*>()) {
                if (box->isVisible() && !box->isModal() && box->standardButtons() == QMessageBox::Ok) {
                    texts << box->windowTitle() + u' ' + box->text();
                }
            }
            texts.sort();
            return texts;
        };
        // Each returns with its box up, which lets the run answer the terminal; a day of failures leaves one box of a
        // kind, the latest.
        for (const char* text : {"first", "second"}) {
            sink.showMessageNoWait(QString::fromLatin1(text), QStringLiteral("ZELBO_UDP"), MessageIcon::None);
        }
        sink.showMessageNoWait(QStringLiteral("other"), QStringLiteral("ZELBO_UDP"), MessageIcon::Critical);
        QCOMPARE(openBoxes(), (QStringList{QStringLiteral("ZELBO_UDP other"), QStringLiteral("ZELBO_UDP second")}));
    }

    void statusMenuOpensTheHistory()
    {
        m_paths.historyPath = m_dir.filePath(QStringLiteral("History.csv"));
        QFile::remove(m_paths.historyPath);
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QStringList opened;
        m_window->setFileOpener([&](const QString& path) {
            opened << path;
            return true;
        });
        auto* box = child<QPlainTextEdit>("lblStatus");
        // The menu's one entry, with the menu still up: popping it up returns, so a run underneath goes on.
        auto openMenu = [&]() -> QAction* {
            qDeleteAll(box->findChildren<QMenu*>());
            QContextMenuEvent event(QContextMenuEvent::Mouse, QPoint(9, 9), box->viewport()->mapToGlobal(QPoint(9, 9)));
            QApplication::sendEvent(box->viewport(), &event);
            const auto menus = box->findChildren<QMenu*>();
            const bool one = menus.size() == 1 && menus[0]->isVisible() && menus[0]->actions().size() == 1;
            return one && menus[0]->actions()[0]->text() == QStringLiteral("履歴ﾌｧｲﾙを開く") ? menus[0]->actions()[0]
                                                                                             : nullptr;
        };
        QVERIFY(openMenu() != nullptr && !openMenu()->isEnabled()); // no cycle yet, no history
        QVERIFY(!writeTestFile(m_dir.path(), QStringLiteral("History.csv"), "x\r\n").isEmpty());
        QAction* entry = openMenu();
        QVERIFY(entry != nullptr && entry->isEnabled());
        entry->trigger();
        QCOMPARE(opened, QStringList{m_paths.historyPath});
    }

    // The tray as the program wires it: the run's state and the last cycles in its tooltip, one notice when a
    // failure lasts and one when storing resumes, and a click that brings the minimised window up.
    void trayTellsRunsAndLastingFailures()
    {
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        connectComm();
        TrayIcon tray(*m_window, QStringLiteral("ZELBO_UDP"));
        m_comm->connectTray(tray, *m_window);
        QStringList notices;
        tray.setNoticeSink([&](const QString& title, const QString& text, auto) { notices << title + u'|' + text; });
        const QString missing = QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信");
        m_window->SetCommState(1);
        for (int second = 0; second <= 15; second += 3) {
            Output::CycleSummary summary;
            summary.time = QDateTime(QDate(2026, 12, 8), QTime(10, 15, second));
            summary.end = second % 15 == 0 ? Output::CycleEnd::Acknowledged : Output::CycleEnd::Failed;
            summary.failure = second % 15 == 0 ? QString() : missing;
            m_comm->output().recordCycle(summary);
            if (second == 12) {
                QCOMPARE(tray.toolTip(),
                         QStringLiteral("ZELBO_UDP - 通信中\n最終受信 2026/12/08 10:15:00 ACK\n異常: ") + missing);
            }
        }
        m_window->SetCommState(0);
        QCOMPARE(tray.toolTip(), QStringLiteral("ZELBO_UDP - 停止中\n最終受信 2026/12/08 10:15:15 ACK"));
        QCOMPARE(
            notices,
            (QStringList{QStringLiteral("ZELBO_UDP - 異常|") + missing +
                             QStringLiteral("\n同じ異常が続いています。端末のﾃﾞｰﾀは保存されていません"),
                         QStringLiteral("ZELBO_UDP - 復旧|最終受信 2026/12/08 10:15:15 ACK\n保存を再開しました")}));

        m_window->showMinimized();
        emit tray.findChild<QSystemTrayIcon*>(QStringLiteral("trayIcon"))->activated(QSystemTrayIcon::Trigger);
        QVERIFY(!m_window->isMinimized() && m_window->isVisible());
        QTRY_VERIFY(m_window->isActiveWindow());
    }

    void versionBoxOpensTheNoticesBesideTheProgram()
    {
        m_paths = ProgramPaths::forExecutable(m_dir.filePath(QStringLiteral("zelbo_udp")));
        makeWindow(SettingsFile::formatFile(SettingsFile::defaults(m_paths.ProgramFolder)));
        m_window->show();
        QStringList opened;
        m_window->setFileOpener([&](const QString& path) {
            opened << path;
            return true;
        });
        QTest::mouseClick(child<QPushButton>("cmdInfo"), Qt::LeftButton);
        QWidget* box = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            box = top->objectName() == QStringLiteral("frmAbout") && top->isVisible() ? top : box;
        }
        QVERIFY(box != nullptr);
        auto* notices = box->findChild<QPushButton*>(QStringLiteral("cmdNotices"));
        auto* ok = box->findChild<QPushButton*>(QStringLiteral("cmdOK"));
        QVERIFY(notices && ok && notices->y() == ok->y() && notices->x() < ok->x() && ok->isDefault());
        QTest::mouseClick(notices, Qt::LeftButton);
        QCOMPARE(opened,
                 QStringList{QDir::toNativeSeparators(m_dir.filePath(QStringLiteral("THIRD-PARTY-NOTICES.txt")))});
        QVERIFY(box->isVisible());
        box->close();
    }

    // Last: it runs the application's event loop, which the session's end leaves.
    void sessionEndStopsTheRunWithCanCancelResumesAndEndEndsTheProgram()
    {
        QUdpSocket terminal;
        QVERIFY(terminal.bind(QHostAddress::LocalHost, 0));
        Settings s = SettingsFile::defaults(m_paths.ProgramFolder);
        s.SaveFolder = QDir::toNativeSeparators(m_dir.path());
        s.RemoteHost = QStringLiteral("127.0.0.1");
        s.RemotePort = QString::number(terminal.localPort());
        s.LocalPort = QString::number(freeUdpPort());
        s.TimeAdjust = QStringLiteral("0");
        s.AutoStart = 1;
        makeWindow(SettingsFile::formatFile(s));
        connectComm();
        SessionWatcher session({
            [this] { m_comm->control().sessionEnding(); },
            [this] { return m_comm->control().quitRequested(); },
            [this] { m_comm->control().sessionEndCancelled(); },
        });

        // What the terminal receives, and whether a run is going at the moments that matter.
        QStringList seen;
        auto state = [this] { return m_window->isRunning() ? QStringLiteral("running") : QStringLiteral("stopped"); };
        int datagrams = 0;
        connect(&terminal, &QUdpSocket::readyRead, this, [&] {
            while (terminal.hasPendingDatagrams()) {
                seen << Cp932::decode(terminal.receiveDatagram().data()).chopped(1);
                // The session's messages come from the event loop, never from inside this handler: the run's own
                // sends pump events and would read the next datagram in the middle of it.
                if (++datagrams == 1) {
                    // Windows asks whether the session may end (WM_QUERYENDSESSION; the Restart Manager alike).
                    QTimer::singleShot(0, this, [&] {
                        session.sessionEnding();
                        seen << state();
                    });
                } else if (datagrams == 2) {
                    // The "CAN" went out at once; the run itself returns when its wait (1 s) is over.
                    QTimer::singleShot(1500, this, [&] {
                        seen << state() << status().section(QStringLiteral("\r\n"), -2);
                        QVERIFY(m_window->isVisible());
                        // Another program refused the end (WM_ENDSESSION with FALSE): polling comes back by itself.
                        session.sessionEndCancelled();
                    });
                } else if (datagrams == 3) {
                    // The session ends during a run (WM_ENDSESSION, an X session manager's Die).
                    QTimer::singleShot(0, this, [&] {
                        m_window->flushDisplays();
                        seen << status();
                        QEvent quit(QEvent::Quit);
                        QCoreApplication::sendEvent(QCoreApplication::instance(), &quit);
                        seen << state();
                        QTest::mouseClick(child<QPushButton>("cmdComm0"), Qt::LeftButton);
                    });
                }
            }
        });
        QTimer::singleShot(20000, &terminal, [this] {
            m_comm->control().cmdComm_Click(1);
            QCoreApplication::exit(2);
        });

        m_window->showAfterLoad();
        QCOMPARE(QCoreApplication::exec(), 0);
        // The program ended right after its last send, which may still wait in the socket.
        while (seen.size() < 9 && terminal.waitForReadyRead(2000)) {
        }
        // Stopped as by Stop, with "CAN"; the query leaves the program open and its cancellation resumes polling
        // once, with a line saying why; the end closes it and takes no Start.
        QCOMPARE(seen,
                 (QStringList{QStringLiteral("VOL"), QStringLiteral("stopped"), QStringLiteral("CAN"),
                              QStringLiteral("stopped"), QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました\r\n異常終了"),
                              QStringLiteral("VOL"),
                              QStringLiteral("UDP通信：送受信待ち\r\nﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝが取り消されたため通信を再開します"),
                              QStringLiteral("stopped"), QStringLiteral("CAN")}));
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestMainWindow)
#include "TestMainWindow.moc"
