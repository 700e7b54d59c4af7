// The settings dialog as a window: where it opens, its captions and tips, its ways of closing, what Cancel drops,
// the folder picker it opens, and its opening from the main window.

#include "SettingsDialogFixture.h"

#include "base/Cp932.h"
#include "ui/MainWindow.h"

#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

class TestSettingsDialogWindow : public QObject, private SettingsDialogFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { nameApplication(); }
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

    void opensAtMainCornerWithSettingsLoaded()
    {
        const Settings before = m_settings;
        openDialog();
        QCOMPARE(m_dialog->windowTitle(), QStringLiteral("ｵﾌﾟｼｮﾝ設定"));
        qWarning() << m_dialog->frameGeometry() << m_dialog->screen()->availableGeometry();
        QCOMPARE(m_dialog->pos(), m_main->pos());
        QVERIFY(!m_main->isEnabled());
        QVERIFY(m_dialog->isEnabled());
        QCOMPARE(m_dialog->minimumSize(), m_dialog->maximumSize());
        QVERIFY(!m_dialog->windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
        QVERIFY(!m_dialog->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));

        QCOMPARE(child<QLabel>("lblFolder")->text(), m_paths.ProgramFolder);
        QCOMPARE(child<QLineEdit>("txtRemoteHost")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(child<QLineEdit>("txtLocalPort")->text(), QStringLiteral("6000"));
        QCOMPARE(child<QLineEdit>("txtFixFname")->text(), QStringLiteral("ORDERS"));
        QCOMPARE(child<QLineEdit>("txtMailSub")->text(), QStringLiteral("棚卸ﾃﾞｰﾀ"));
        QVERIFY(child<QRadioButton>("optAddDate2")->isChecked());
        QVERIFY(child<QRadioButton>("optOverWrite0")->isChecked());
        QVERIFY(child<QRadioButton>("optCrcType0")->isChecked());
        QVERIFY(child<QCheckBox>("chkTimeAdjust")->isChecked());
        QVERIFY(!child<QCheckBox>("chkSendMail")->isChecked());
        QVERIFY(child<QCheckBox>("chkField2")->isChecked());
        QVERIFY(!child<QCheckBox>("chkField3")->isChecked());

        // Four rows of five, in order.
        const QPoint f1 = child<QCheckBox>("chkField0")->pos();
        QCOMPARE(child<QCheckBox>("chkField4")->y(), f1.y());
        QVERIFY(child<QCheckBox>("chkField4")->x() > f1.x());
        QCOMPARE(child<QCheckBox>("chkField5")->x(), f1.x());
        QVERIFY(child<QCheckBox>("chkField5")->y() > f1.y());
        QCOMPARE(child<QCheckBox>("chkField15")->x(), f1.x());
        QCOMPARE(child<QCheckBox>("chkField19")->y(), child<QCheckBox>("chkField15")->y());

        // Loading the controls changed nothing: OK saves the settings as they were.
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_settings, before);
        QCOMPARE(iniBytes(), m_initialFile);
    }

    void staysOnTheScreenNearItsBottomRight()
    {
        const QRect area = m_main->screen()->availableGeometry();
        m_main->move(area.right() - m_main->frameGeometry().width(), area.bottom() - m_main->frameGeometry().height());
        openDialog();
        const QRect frame = m_dialog->frameGeometry();
        QVERIFY2(
            area.contains(frame),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(frame.x()).arg(frame.y()).arg(frame.width()).arg(frame.height())));
        // Moved only as far as needed.
        QCOMPARE(frame.right(), area.right());
        QCOMPARE(frame.bottom(), area.bottom());
    }

    void captionsAndToolTips_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("toolTip");
        auto row = [](const char* name, const QString& caption, const QString& tip) {
            QTest::newRow(name) << QString::fromLatin1(name) << caption << tip;
        };
        row("txtLocalPort", QString(), QStringLiteral("ﾊﾞｲﾝﾄﾞするﾛｰｶﾙﾎﾟｰﾄ番号を指定してください"));
        row("txtRemoteHost", QString(), QStringLiteral("ﾘﾓｰﾄﾎｽﾄのIPｱﾄﾞﾚｽを指定してください"));
        row("txtRemotePort", QString(), QStringLiteral("ﾘﾓｰﾄﾎﾟｰﾄ番号を指定してください"));
        row("txtFixFname", QString(), QStringLiteral("保存したいﾌｧｲﾙ名(拡張子はTXT固定、指定不要)を指定してください"));
        row("optAddDate0", QStringLiteral("日付・時刻なし"), QStringLiteral("ﾌｧｲﾙ名.TXT で保存"));
        row("optAddDate1", QStringLiteral("ﾌｧｲﾙ名を日付(YYYYMMDD)にする"), QStringLiteral("YYYYMMDD.TXT で保存"));
        row("optAddDate2", QStringLiteral("ﾌｧｲﾙ名を日時(YYYYMMDDHHMM)にする"),
            QStringLiteral("YYYYMMDDーHHMM.TXT で保存"));
        row("optAddDate3", QStringLiteral("ﾌｧｲﾙ名に日時(YYYYMMDD)を付加する"),
            QStringLiteral("ﾌｧｲﾙ名-YYYYMMDD.TXT で保存"));
        row("optAddDate4", QStringLiteral("ﾌｧｲﾙ名に日時(YYYYMMDDHHMM)を付加する"),
            QStringLiteral("ﾌｧｲﾙ名-YYYYMMDD-HHMM.TXT で保存"));
        row("cmdFolderRef", QStringLiteral("参照"), QString());
        row("chkField0", QStringLiteral("F1"), QString());
        row("chkField19", QStringLiteral("F20"), QString());
        row("optOverWrite0", QStringLiteral("追加ﾓｰﾄﾞ"), QString());
        row("optOverWrite1", QStringLiteral("上書ﾓｰﾄﾞ"), QString());
        row("optStartUpSize0", QStringLiteral("ﾉｰﾏﾙ"), QString());
        row("optStartUpSize1", QStringLiteral("ｱｲｺﾝ"), QString());
        row("optAutoStart0", QStringLiteral("しない"), QString());
        row("optAutoStart1", QStringLiteral("する"), QString());
        row("optCrcType0", QStringLiteral("ﾀｲﾌﾟ1"), QString());
        row("optCrcType1", QStringLiteral("ﾀｲﾌﾟ2"), QString());
        row("optProtocol0", QStringLiteral("専用"), QString());
        row("optProtocol1", QStringLiteral("ｼﾝﾌﾟﾙ"), QString());
        row("chkSendMail", QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙを添付してﾒｰﾙする"), QString());
        row("chkTimeAdjust", QStringLiteral("PCと日時を合わせる"), QString());
        row("cmdOK0", QStringLiteral("OK"), QString());
        row("cmdOK1", QStringLiteral("ｷｬﾝｾﾙ"), QString());
    }

    void captionsAndToolTips()
    {
        QFETCH(QString, name);
        QFETCH(QString, caption);
        QFETCH(QString, toolTip);
        openDialog();
        auto* widget = child<QWidget>(name);
        QVERIFY(widget);
        if (auto* button = qobject_cast<QAbstractButton*>(widget)) {
            QCOMPARE(button->text(), caption);
        }
        QCOMPARE(widget->toolTip(), toolTip);
    }

    void groupsAndLabels()
    {
        openDialog();
        QStringList groups;
        for (const QGroupBox* group : m_dialog->findChildren<QGroupBox*>()) {
            groups << group->title() + u'|' + group->toolTip();
        }
        const QStringList expected = {
            QStringLiteral("UDP設定|UDPﾊﾟﾗﾒｰﾀを指定してください"),
            QStringLiteral("保存ﾌｧｲﾙ名|保存したいﾌｧｲﾙ名(拡張子はTXT固定、指定不要)を指定してください"),
            QStringLiteral("日付・時刻付加|日付・時刻の付加方法を指定してください"),
            QStringLiteral("保存ﾌｫﾙﾀﾞ|保存ﾌｫﾙﾀﾞを選択してください"),
            QStringLiteral("取り込みﾌｨｰﾙﾄﾞ選択|取り込みたいﾌｨｰﾙﾄﾞをﾁｪｯｸしてください"),
            QStringLiteral("保存ﾓｰﾄﾞ|保存ﾓｰﾄﾞを選択してください"),
            QStringLiteral("ｽﾀｰﾄｻｲｽﾞ|ZELBOを最小化して起動する場合は、｢ｱｲｺﾝ｣を選択してください"),
            QStringLiteral("ｵｰﾄｽﾀｰﾄ|ZELBO実行時、通信をｵｰﾄｽﾀｰﾄする場合は、「する」を選択してください"),
            QStringLiteral("CRCﾀｲﾌﾟ|ﾁｪｯｸｻﾑの計算方法を選択してください（通常は、「ﾀｲﾌﾟ1」）"),
            QStringLiteral("ﾌﾟﾛﾄｺﾙ|通信ﾌﾟﾛﾄｺﾙを選択してください(通常は、｢専用｣)"),
            QStringLiteral(
                "ﾒｰﾙ送信|ｱｯﾌﾟﾛｰﾄﾞしたﾌｧｲﾙを添付して、指定ｱﾄﾞﾚｽへﾒｰﾙしたい場合は、この項目を設定してください"),
        };
        QCOMPARE(groups.size(), expected.size());
        for (const QString& group : expected) {
            QVERIFY2(groups.contains(group), qPrintable(group));
        }
        QStringList labels;
        for (const QLabel* label : m_dialog->findChildren<QLabel*>()) {
            labels << label->text();
        }
        for (const char* text : {"ﾛｰｶﾙﾎﾟｰﾄ(Bind)", "ﾘﾓｰﾄﾎｽﾄ", "ﾘﾓｰﾄﾎﾟｰﾄ", "宛先ﾒｰﾙｱﾄﾞﾚｽ(To)", "件名",
                                 "差出人ﾒｰﾙｱﾄﾞﾚｽ(From)", "ﾒｰﾙｻｰﾊﾞｰ"}) {
            QVERIFY2(labels.contains(QString::fromUtf8(text)), text);
        }
    }

    void everyWayOfClosingEnablesMain_data()
    {
        QTest::addColumn<int>("way");
        QTest::newRow("OK") << 0;
        QTest::newRow("ｷｬﾝｾﾙ") << 1;
        QTest::newRow("close box") << 2;
    }

    void everyWayOfClosingEnablesMain()
    {
        QFETCH(int, way);
        openDialog();
        QVERIFY(!m_main->isEnabled());
        if (way == 2) {
            closeBox();
        } else {
            QTest::mouseClick(way == 0 ? ok() : cancel(), Qt::LeftButton);
        }
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_main->isEnabled());
    }

    void escAndEnterDoNotClose()
    {
        openDialog();
        QTest::keyClick(m_dialog, Qt::Key_Escape);
        QTest::keyClick(child<QLineEdit>("txtRemoteHost"), Qt::Key_Return);
        QTest::keyClick(child<QCheckBox>("chkField0"), Qt::Key_Enter);
        QCoreApplication::processEvents();
        QVERIFY(m_dialog);
        QVERIFY(m_dialog->isVisible());
        QVERIFY(!m_main->isEnabled());
        QCOMPARE(iniBytes(), m_initialFile);

        // Enter on a button that has the focus presses it.
        cancel()->setFocus();
        QTest::keyClick(cancel(), Qt::Key_Return);
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_main->isEnabled());
    }

    void cancelDiscardsEdits_data()
    {
        QTest::addColumn<bool>("useCloseBox");
        QTest::newRow("ｷｬﾝｾﾙ") << false;
        QTest::newRow("close box") << true;
    }

    void cancelDiscardsEdits()
    {
        QFETCH(bool, useCloseBox);
        const Settings before = m_settings;
        openDialog();
        typeText(child<QLineEdit>("txtRemoteHost"), QStringLiteral("127.0.0.2"));
        clickButton(child<QRadioButton>("optAddDate4"));
        clickButton(child<QCheckBox>("chkField0"));
        clickButton(child<QRadioButton>("optCrcType1"));
        m_dialog->setFolderText(QStringLiteral("/elsewhere"));
        if (useCloseBox) {
            closeBox();
        } else {
            QTest::mouseClick(cancel(), Qt::LeftButton);
        }
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_settings, before);
        QCOMPARE(iniBytes(), m_initialFile);
        QVERIFY(m_shownFolders.isEmpty());

        openDialog();
        QCOMPARE(child<QLineEdit>("txtRemoteHost")->text(), QStringLiteral("127.0.0.1"));
        QVERIFY(child<QRadioButton>("optAddDate2")->isChecked());
        QVERIFY(child<QCheckBox>("chkField0")->isChecked());
        QVERIFY(child<QRadioButton>("optCrcType0")->isChecked());
    }

    void pickedFolderReachesSettingsOnlyOnOk()
    {
        QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("受信")));
        openDialog();
        m_dialog->move(600, 400); // the picker still centres over the main window
        QPointer<frmFolder> picker = openPicker();
        QVERIFY(picker);
        QVERIFY(!m_dialog->isEnabled());
        QVERIFY(!m_main->isEnabled());
        QCOMPARE(picker->path(), m_paths.ProgramFolder);
        // Frames are centred, not insides; halving an odd difference leaves half a pixel.
        const QPointF offset = QRectF(picker->frameGeometry()).center() - QRectF(m_main->frameGeometry()).center();
        QVERIFY(qAbs(offset.x()) <= 0.5);
        QVERIFY(qAbs(offset.y()) <= 0.5);

        // A closing attempt while the picker is open does not take the dialog away underneath it.
        closeBox();
        QVERIFY(m_dialog->isVisible());

        auto* list = picker->findChild<QTreeWidget*>(QStringLiteral("Dir1"));
        const QList<QTreeWidgetItem*> found =
            list->findItems(QStringLiteral("受信"), Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        const QRect rect = list->visualItemRect(found[0]);
        doubleClick(list->viewport(), rect.center());
        const QString chosen = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("受信")));
        QCOMPARE(picker->path(), chosen);
        QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("cmdOK0")), Qt::LeftButton);
        QTRY_VERIFY(picker.isNull());

        QVERIFY(m_dialog->isEnabled());
        QVERIFY(!m_main->isEnabled());
        QCOMPARE(child<QLabel>("lblFolder")->text(), chosen);
        QCOMPARE(m_settings.SaveFolder, m_paths.ProgramFolder);
        QCOMPARE(iniBytes(), m_initialFile);

        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_settings.SaveFolder, chosen);
        QCOMPARE(m_shownFolders, QStringList{chosen});
        QVERIFY(iniBytes().startsWith(Cp932::encode(QString(u'"' + chosen + u'"'))));
    }

    void openedFromTheMainWindowsButtons()
    {
        MainWindow window(m_state, m_paths, *m_file, m_sink);
        QVERIFY(window.Form_Load());
        window.show();
        auto* folderCaption = window.findChild<QLabel*>(QStringLiteral("lblFolder"));
        QCOMPARE(folderCaption->text(), m_paths.ProgramFolder);

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdSetting")), Qt::LeftButton);
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QStringLiteral("frmSetting") && top->isVisible()) {
                m_dialog = qobject_cast<frmSetting*>(top);
            }
        }
        QVERIFY(m_dialog);
        QVERIFY(!window.isEnabled());
        const QString folder = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("new")));
        m_dialog->setFolderText(folder);
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(window.isEnabled());
        QCOMPARE(folderCaption->text(), folder);
        QCOMPARE(m_state.user().SaveFolder, folder);

        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("cmdInfo")), Qt::LeftButton);
        QWidget* about = nullptr;
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->objectName() == QStringLiteral("frmAbout") && top->isVisible()) {
                about = top;
            }
        }
        QVERIFY(about);
        QVERIFY(!window.isEnabled());
        QTest::keyClick(about, Qt::Key_Escape);
        QTRY_VERIFY(window.isEnabled());
    }
};

QTEST_MAIN(TestSettingsDialogWindow)
#include "TestSettingsDialogWindow.moc"
