// What the main window shows during a run: the status box and its modes, the progress bar at screen rate, captions
// taken as plain text, a long folder shortened, and the boxes a run leaves up.

#include "MainWindowFixture.h"

#include "ui/QtMessageSink.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

class TestMainWindowDisplays : public QObject, private MainWindowFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { rememberStartFolder(); }
    void init() { resetFixture(); }

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
};

QTEST_MAIN(TestMainWindowDisplays)
#include "TestMainWindowDisplays.moc"
