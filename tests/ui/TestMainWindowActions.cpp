// What the user and the system do to the main window: double-clicks, close during a run, the file viewer, the status
// menu, the version box, the tray, and the end of the session.

#include "MainWindowFixture.h"

#include "base/Cp932.h"
#include "link/LinkTestSupport.h"
#include "ui/SessionWatcher.h"
#include "ui/TrayIcon.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QLabel>
#include <QMenu>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

class TestMainWindowActions : public QObject, private MainWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { rememberStartFolder(); }
    void init() { resetFixture(); }

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
                QCOMPARE(tray.toolTip(), QStringLiteral("ZELBO_UDP - 通信中\n異常: ") + missing +
                                             QStringLiteral("\n最終受信 2026/12/08 10:15:00 ACK"));
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
                 (QStringList{
                     QStringLiteral("VOL"), QStringLiteral("stopped"), QStringLiteral("CAN"), QStringLiteral("stopped"),
                     QStringLiteral("ﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝのため通信を停止しました\r\n異常終了"), QStringLiteral("VOL"),
                     QStringLiteral("UDP通信：送受信待ち\r\nﾛｸﾞｵﾌ/ｼｬｯﾄﾀﾞｳﾝが取り消されたため通信を再開します"),
                     QStringLiteral("stopped"), QStringLiteral("CAN")}));
        QVERIFY(!m_window->isVisible());
    }
};

QTEST_MAIN(TestMainWindowActions)
#include "TestMainWindowActions.moc"
