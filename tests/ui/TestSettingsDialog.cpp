#include "base/Cp932.h"
#include "config/SettingsFile.h"
#include "fakes/FakePasswordStore.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "ui/MainWindow.h"
#include "ui/frmFolder.h"
#include "ui/frmSetting.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeWidget>

#include <memory>

namespace {

const QString MailMessage = QStringLiteral("宛先ﾒｰﾙｱﾄﾞﾚｽ(To)\r\n差出人ﾒｰﾙｱﾄﾞﾚｽ(From)\r\nﾒｰﾙｻｰﾊﾞｰ\r\n"
                                           "のいずれかが入力されていません！！");

// Types over the box's whole text, as a user (or an input method committing Japanese) would.
void typeText(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->selectAll();
    if (text.isEmpty()) {
        QTest::keyClick(edit, Qt::Key_Backspace);
        return;
    }
    QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, text);
    QApplication::sendEvent(edit, &press);
}

// Clicks on the indicator: a box stretched by its layout is not hit in its empty right part.
void clickButton(QAbstractButton* button)
{
    QTest::mouseClick(button, Qt::LeftButton, Qt::NoModifier, QPoint(6, button->height() / 2));
}

// A real double-click: press and release, then the double-click event and its release.
void doubleClick(QWidget* widget, const QPoint& pos)
{
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, Qt::NoModifier, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, Qt::NoModifier, pos);
}

} // namespace

class TestSettingsDialog : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    ProgramPaths m_paths;
    Settings m_settings;
    RecordingMessageSink m_sink;
    std::unique_ptr<SettingsFile> m_file;
    std::unique_ptr<QWidget> m_main;
    QPointer<frmSetting> m_dialog;
    QStringList m_shownFolders;
    QByteArray m_initialFile;

    template <typename T> T* child(const QString& name) const
    {
        T* widget = m_dialog->findChild<T*>(name);
        if (widget == nullptr) {
            qWarning("no control %s", qPrintable(name));
        }
        return widget;
    }
    template <typename T> T* child(const char* name) const { return child<T>(QString::fromLatin1(name)); }
    QPushButton* ok() const { return child<QPushButton>("cmdOK0"); }
    QPushButton* cancel() const { return child<QPushButton>("cmdOK1"); }

    QByteArray iniBytes() const
    {
        QFile file(m_paths.IniPath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    void openDialog(MailSignIn::Tools mailTools = {})
    {
        m_dialog = frmSetting::open(
            m_settings, *m_file, m_sink, m_main.get(), [this](const QString& folder) { m_shownFolders << folder; },
            std::move(mailTools));
        QVERIFY(m_dialog);
        QVERIFY(m_dialog->isVisible());
    }

    void closeBox() { m_dialog->close(); }

    // Clicks "参照" and returns the picker it shows.
    frmFolder* openPicker()
    {
        QTest::mouseClick(child<QPushButton>("cmdFolderRef"), Qt::LeftButton);
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->objectName() == QStringLiteral("frmFolder") && window->isVisible()) {
                return qobject_cast<frmFolder*>(window);
            }
        }
        return nullptr;
    }

private slots:
    void initTestCase() { QCoreApplication::setApplicationName(QStringLiteral("ZELBO_UDP")); }

    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_paths = testProgramPaths(m_dir->path());
        m_sink.boxes.clear();
        m_shownFolders.clear();
        m_file = std::make_unique<SettingsFile>(m_paths, m_sink);

        m_settings = SettingsFile::defaults(m_paths.ProgramFolder);
        m_settings.RemoteHost = QStringLiteral("127.0.0.1");
        m_settings.AddDate = 2;
        m_settings.FixFname = QStringLiteral("ORDERS");
        m_settings.MailSub = QStringLiteral("棚卸ﾃﾞｰﾀ");
        m_settings.FieldSelect[3] = 0;
        m_file->WriteSettingsFile(m_settings);
        m_initialFile = iniBytes();
        QVERIFY(!m_initialFile.isEmpty());

        m_main = std::make_unique<QWidget>();
        m_main->setGeometry(120, 90, 425, 377);
        m_main->show();
    }

    void cleanup()
    {
        delete m_dialog.data();
        m_main.reset();
    }

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

    void okWritesEveryEditedValue()
    {
        openDialog();
        const QString folder = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("受信")));
        m_dialog->setFolderText(folder);
        typeText(child<QLineEdit>("txtLocalPort"), QStringLiteral("7000"));
        typeText(child<QLineEdit>("txtRemoteHost"), QStringLiteral("127.0.0.2"));
        typeText(child<QLineEdit>("txtRemotePort"), QString()); // not validated here
        clickButton(child<QRadioButton>("optAddDate4"));
        typeText(child<QLineEdit>("txtFixFname"), QStringLiteral("ﾃﾞｰﾀ,1"));
        clickButton(child<QRadioButton>("optCrcType1"));
        clickButton(child<QRadioButton>("optOverWrite1"));
        clickButton(child<QRadioButton>("optStartUpSize1"));
        clickButton(child<QRadioButton>("optAutoStart1"));
        clickButton(child<QRadioButton>("optProtocol1"));
        clickButton(child<QCheckBox>("chkSendMail"));
        typeText(child<QLineEdit>("txtMailAddress"), QStringLiteral("to@example.invalid"));
        typeText(child<QLineEdit>("txtMailSub"), QString());
        typeText(child<QLineEdit>("txtFromMailAddress"), QStringLiteral("from@example.invalid"));
        typeText(child<QLineEdit>("txtMailServer"), QStringLiteral("127.0.0.1"));
        clickButton(child<QCheckBox>("chkField0"));
        clickButton(child<QCheckBox>("chkField3")); // was clear: ticked now
        clickButton(child<QCheckBox>("chkField19"));
        clickButton(child<QCheckBox>("chkTimeAdjust"));
        QTest::mouseClick(ok(), Qt::LeftButton);

        QTRY_VERIFY(m_dialog.isNull());
        QVERIFY(m_sink.boxes.isEmpty());
        QVERIFY(m_main->isEnabled());
        const QString expected = u'"' + folder +
                                 QStringLiteral("\",\"7000\",\"127.0.0.2\",\"\",4,\"ﾃﾞｰﾀ,1\",1,1,1,1,1,1,"
                                                "\"to@example.invalid\",\"\",0,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,0,"
                                                "\"from@example.invalid\",\"127.0.0.1\",\"0\",\"\"\r\n");
        QCOMPARE(iniBytes(), Cp932::encode(expected));
        QCOMPARE(m_settings.SaveFolder, folder);
        QCOMPARE(m_settings.CrcType, 1);
        QCOMPARE(m_settings.TimeAdjust, QStringLiteral("0"));
        QCOMPARE(m_settings.FixFname, QStringLiteral("ﾃﾞｰﾀ,1"));
        QCOMPARE(m_shownFolders, QStringList{folder});
    }

    // A failed write is reported, and OK still applies the edit: the main window's folder caption, then the record.
    void okAppliesTheSettingsWhenTheWriteFails()
    {
        openDialog();
        const QString folder = QDir::toNativeSeparators(m_dir->filePath(QStringLiteral("新")));
        m_dialog->setFolderText(folder);
        clickButton(child<QRadioButton>("optAutoStart1"));
        QFile blocker(m_dir->filePath(QStringLiteral("blocker")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        m_paths.IniPath = m_dir->filePath(QStringLiteral("blocker/zelbo_udp.ini"));
        QTest::mouseClick(ok(), Qt::LeftButton);

        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_sink.boxes.size(), 2);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("File Open Error"));
        QCOMPARE(m_sink.boxes[1].title, QStringLiteral("File Write Error"));
        QCOMPARE(m_settings.SaveFolder, folder);
        QCOMPARE(m_settings.AutoStart, 1);
        QCOMPARE(m_shownFolders, QStringList{folder});
    }

    void mailCheck_data()
    {
        QTest::addColumn<bool>("sendMail");
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("server");
        QTest::addColumn<bool>("saved");
        const QString to = QStringLiteral("to@example.invalid");
        const QString from = QStringLiteral("from@example.invalid");
        const QString server = QStringLiteral("127.0.0.1");
        QTest::newRow("mail clear, all empty") << false << QString() << QString() << QString() << true;
        QTest::newRow("mail ticked, all filled, no subject") << true << to << from << server << true;
        QTest::newRow("To empty") << true << QString() << from << server << false;
        QTest::newRow("From empty") << true << to << QString() << server << false;
        QTest::newRow("server empty") << true << to << from << QString() << false;
        QTest::newRow("blanks count as filled")
            << true << QStringLiteral(" ") << QStringLiteral("  ") << QStringLiteral("   ") << true;
    }
    void mailCheck()
    {
        QFETCH(bool, sendMail);
        QFETCH(QString, to);
        QFETCH(QString, from);
        QFETCH(QString, server);
        QFETCH(bool, saved);
        openDialog();
        if (sendMail) {
            clickButton(child<QCheckBox>("chkSendMail"));
        }
        typeText(child<QLineEdit>("txtMailAddress"), to);
        typeText(child<QLineEdit>("txtMailSub"), QString());
        typeText(child<QLineEdit>("txtFromMailAddress"), from);
        typeText(child<QLineEdit>("txtMailServer"), server);
        QTest::mouseClick(ok(), Qt::LeftButton);

        if (saved) {
            QTRY_VERIFY(m_dialog.isNull());
            QVERIFY(m_sink.boxes.isEmpty());
            QCOMPARE(m_settings.SendMail, sendMail ? 1 : 0);
            QCOMPARE(m_settings.MailAddress, to);
            QCOMPARE(m_settings.MailServer, server);
            QVERIFY(iniBytes() != m_initialFile); // the subject was cleared in every case
            return;
        }
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].text, MailMessage);
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
        QCOMPARE(m_sink.boxes[0].icon, MessageIcon::None);
        QCoreApplication::processEvents();
        QVERIFY(m_dialog && m_dialog->isVisible());
        QVERIFY(!m_main->isEnabled());
        QCOMPARE(iniBytes(), m_initialFile);
        QCOMPARE(m_settings.SendMail, 0);
        QCOMPARE(child<QLineEdit>("txtMailAddress")->text(), to);
        QCOMPARE(child<QLineEdit>("txtMailServer")->text(), server);
        QVERIFY(child<QCheckBox>("chkSendMail")->isChecked());
    }

    // The password goes to the store and never to the file; another server or user asks for it again; without a store
    // nothing is kept; sign-in data in the server text is refused; the test button sends what the dialog shows.
    void mailSignIn()
    {
        FakePasswordStore store;
        QList<Settings> tested;
        std::optional<QString> testedPassword;
        const MailSignIn::Tools tools{
            &store, [&](const Settings& settings, const std::optional<QString>& password, QString& answer) {
                tested << settings;
                testedPassword = password;
                answer = QStringLiteral("250 2.0.0 queued");
                return true;
            }};
        const QString server = QStringLiteral("127.0.0.1:587");
        const QString secret = QStringLiteral("pa\"ss,word");
        const auto password = [this] { return child<QLineEdit>("txtMailPassword"); };
        const auto lastBox = [this] { return m_sink.boxes.isEmpty() ? QString() : m_sink.boxes.last().text; };
        openDialog(tools);
        QVERIFY(!password()->isEnabled());
        clickButton(child<QCheckBox>("chkSendMail"));
        typeText(child<QLineEdit>("txtMailAddress"), QStringLiteral("to@example.invalid"));
        typeText(child<QLineEdit>("txtFromMailAddress"), QStringLiteral("from@example.invalid"));
        typeText(child<QLineEdit>("txtMailServer"), QStringLiteral("smtp://taro:pw@") + server);
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("taro"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY2(lastBox().contains(QStringLiteral("ﾕｰｻﾞｰ名やﾊﾟｽﾜｰﾄﾞ")), qPrintable(lastBox()));
        typeText(child<QLineEdit>("txtMailServer"), server);
        QVERIFY(password()->isEnabled());
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY2(lastBox().endsWith(QStringLiteral("ﾒｰﾙのﾊﾟｽﾜｰﾄﾞを入力してください")), qPrintable(lastBox()));
        QVERIFY(m_dialog && store.passwords.isEmpty());

        typeText(password(), secret);
        QTest::mouseClick(child<QPushButton>("cmdMailTest"), Qt::LeftButton);
        QCOMPARE(tested.size(), 1);
        QCOMPARE(tested[0].MailServer, server);
        QCOMPARE(tested[0].MailUser, QStringLiteral("taro"));
        QCOMPARE(testedPassword, std::optional<QString>(secret));
        QCOMPARE(m_sink.boxes.last().title, QStringLiteral("ﾃｽﾄ送信"));
        QVERIFY(lastBox().endsWith(QStringLiteral("ｻｰﾊﾞｰの応答 : 250 2.0.0 queued")));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(store.passwords.value({server, QStringLiteral("taro")}), secret);
        QCOMPARE(m_settings.MailUser, QStringLiteral("taro"));
        QVERIFY(iniBytes().endsWith(",\"taro\"\r\n"));
        QVERIFY(!iniBytes().contains("ss,word"));

        // Stored: nothing to type for the same server and user, a password again for another.
        openDialog(tools);
        QVERIFY(password()->placeholderText().startsWith(QStringLiteral("保存済み")));
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("hanako"));
        QVERIFY(password()->text().isEmpty());
        const qsizetype boxes = m_sink.boxes.size();
        QTest::mouseClick(ok(), Qt::LeftButton);
        QCOMPARE(m_sink.boxes.size(), boxes + 1);
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("taro"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());

        // No store on this system: the field says so and OK keeps nothing until the user is cleared.
        store.forced = MailPasswordStore::Outcome::Unavailable;
        openDialog(tools);
        QVERIFY(!password()->isEnabled());
        typeText(child<QLineEdit>("txtMailUser"), QStringLiteral("jiro"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QVERIFY2(lastBox().contains(QStringLiteral("資格情報ｽﾄｱがありません")), qPrintable(lastBox()));
        QVERIFY(m_dialog);
        typeText(child<QLineEdit>("txtMailUser"), QString());
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(store.passwords.size(), 1);
        QVERIFY(m_settings.MailUser.isEmpty());
    }

    void twentyClearedFieldsSaveZeros()
    {
        m_settings.FieldSelect.fill(1);
        openDialog();
        for (int i = 0; i < Settings::FieldCount; ++i) {
            clickButton(child<QCheckBox>(QStringLiteral("chkField%1").arg(i)));
        }
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        const QList<QByteArray> values = iniBytes().trimmed().split(',');
        QCOMPARE(values.size(), 38);
        QCOMPARE(values.mid(14, 20), QList<QByteArray>(20, QByteArray("0")));
        for (const std::int16_t flag : m_settings.FieldSelect) {
            QCOMPARE(flag, 0);
        }
    }

    void doubleQuoteRefused_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("fieldName");
        QTest::newRow("host") << QStringLiteral("txtRemoteHost") << QStringLiteral("ﾘﾓｰﾄﾎｽﾄ");
        QTest::newRow("file name") << QStringLiteral("txtFixFname") << QStringLiteral("保存ﾌｧｲﾙ名");
        QTest::newRow("subject") << QStringLiteral("txtMailSub") << QStringLiteral("件名");
        QTest::newRow("server") << QStringLiteral("txtMailServer") << QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ");
        QTest::newRow("folder") << QString() << QStringLiteral("保存ﾌｫﾙﾀﾞ");
    }
    void doubleQuoteRefused()
    {
        QFETCH(QString, box);
        QFETCH(QString, fieldName);
        openDialog();
        const QString bad = QStringLiteral("ab\"c");
        if (box.isEmpty()) {
            m_dialog->setFolderText(bad);
        } else {
            typeText(child<QLineEdit>(box), bad);
        }
        QTest::mouseClick(ok(), Qt::LeftButton);
        QCOMPARE(m_sink.boxes.size(), 1);
        QCOMPARE(m_sink.boxes[0].text, fieldName + QStringLiteral("\r\nに \" (ﾀﾞﾌﾞﾙｸｫｰﾃｰｼｮﾝ) は使用できません！！"));
        QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
        QCoreApplication::processEvents();
        QVERIFY(m_dialog && m_dialog->isVisible());
        QCOMPARE(iniBytes(), m_initialFile);

        // Mended, the same dialog saves.
        if (box.isEmpty()) {
            m_dialog->setFolderText(QStringLiteral("abc"));
        } else {
            typeText(child<QLineEdit>(box), QStringLiteral("abc"));
        }
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_sink.boxes.size(), 1);
        QVERIFY(iniBytes().contains("\"abc\""));
    }

    // The picker refuses a folder the settings file would store as another name, and OK refuses such a text in any
    // field; what code page 932 holds passes both and reads back unchanged.
    void textTheFileCannotHoldIsRefused_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("storable");
        QTest::newRow("wave dash") << QStringLiteral("4月\u301C6月") << QStringLiteral("txtFixFname")
                                   << QStringLiteral("保存ﾌｧｲﾙ名") << false;
        QTest::newRow("Chinese") << QStringLiteral("测试") << QStringLiteral("txtMailSub") << QStringLiteral("件名")
                                 << false;
        QTest::newRow("emoji") << QStringLiteral("box\U0001F4E6") << QStringLiteral("txtRemoteHost")
                               << QStringLiteral("ﾘﾓｰﾄﾎｽﾄ") << false;
        QTest::newRow("circled digit") << QStringLiteral("棚卸①") << QStringLiteral("txtFixFname")
                                       << QStringLiteral("保存ﾌｧｲﾙ名") << true;
        QTest::newRow("half-width katakana")
            << QStringLiteral("ｳﾘｱｹﾞ") << QStringLiteral("txtMailSub") << QStringLiteral("件名") << true;
    }
    void textTheFileCannotHoldIsRefused()
    {
        QFETCH(QString, text);
        QFETCH(QString, box);
        QFETCH(QString, caption);
        QFETCH(bool, storable);
        const QString reason = QStringLiteral("\r\nに使用できない文字が含まれています！！");
        QVERIFY(QDir(m_dir->path()).mkpath(text));
        const QString folder = QDir::toNativeSeparators(m_dir->filePath(text));
        openDialog();

        QPointer<frmFolder> picker = openPicker();
        QVERIFY(picker);
        auto* list = picker->findChild<QTreeWidget*>(QStringLiteral("Dir1"));
        const QList<QTreeWidgetItem*> found = list->findItems(text, Qt::MatchExactly | Qt::MatchRecursive);
        QCOMPARE(found.size(), 1);
        doubleClick(list->viewport(), list->visualItemRect(found[0]).center());
        QCOMPARE(picker->path(), folder);
        QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("cmdOK0")), Qt::LeftButton);
        if (storable) {
            QTRY_VERIFY(picker.isNull());
            QVERIFY(m_sink.boxes.isEmpty());
            QCOMPARE(child<QLabel>("lblFolder")->text(), folder);
        } else {
            QCOMPARE(m_sink.boxes.size(), 1);
            QCOMPARE(m_sink.boxes[0].text, QStringLiteral("保存ﾌｫﾙﾀﾞ") + reason);
            QCOMPARE(m_sink.boxes[0].title, QStringLiteral("ZELBO_UDP"));
            QCOMPARE(m_sink.boxes[0].icon, MessageIcon::None);
            QCoreApplication::processEvents();
            QVERIFY(picker && picker->isVisible());
            QCOMPARE(child<QLabel>("lblFolder")->text(), m_paths.ProgramFolder);
            QTest::mouseClick(picker->findChild<QPushButton*>(QStringLiteral("cmdOK1")), Qt::LeftButton);
            QTRY_VERIFY(picker.isNull());
            // A folder that reached the dialog another way (the start-up fallback) is refused by OK as well.
            m_dialog->setFolderText(folder);
        }

        typeText(child<QLineEdit>(box), text);
        QTest::mouseClick(ok(), Qt::LeftButton);
        if (storable) {
            QTRY_VERIFY(m_dialog.isNull());
            QVERIFY(m_sink.boxes.isEmpty());
            Settings back;
            QCOMPARE(SettingsFile::parse(iniBytes(), back), ReadResult::Ok);
            QVERIFY(back == m_settings);
            QCOMPARE(back.SaveFolder, folder);
            QVERIFY(iniBytes().contains(Cp932::encode(QString(u'"' + text + u'"'))));
            return;
        }
        QCOMPARE(m_sink.boxes.size(), 2);
        QCOMPARE(m_sink.boxes[1].text, QStringLiteral("保存ﾌｫﾙﾀﾞ\r\n") + caption + reason);
        QCOMPARE(m_sink.boxes[1].title, QStringLiteral("ZELBO_UDP"));
        QCoreApplication::processEvents();
        QVERIFY(m_dialog && m_dialog->isVisible());
        QCOMPARE(iniBytes(), m_initialFile);
        QCOMPARE(m_settings.SaveFolder, m_paths.ProgramFolder);
    }

    void textBoxesHaveNoLengthLimit()
    {
        openDialog();
        const QList<QLineEdit*> boxes = m_dialog->findChildren<QLineEdit*>();
        QCOMPARE(boxes.size(), 10);
        const QString longText(40000, u'x');
        for (QLineEdit* box : boxes) {
            typeText(box, longText);
            QCOMPARE(box->text().size(), longText.size());
        }
    }

    // The box shows whether the run will set the clock; OK keeps the stored text unless the box was changed.
    void timeAdjustShowsWhatTheRunDoes_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<bool>("ticked");
        QTest::newRow("1.0") << QStringLiteral("1.0") << true;
        QTest::newRow("leading blank") << QStringLiteral(" 1") << true;
        QTest::newRow("0.5") << QStringLiteral("0.5") << false;
        QTest::newRow("0") << QStringLiteral("0") << false;
    }
    void timeAdjustShowsWhatTheRunDoes()
    {
        QFETCH(QString, stored);
        QFETCH(bool, ticked);
        m_settings.TimeAdjust = stored;
        auto lastValue = [this] { return iniBytes().trimmed().split(',').value(36); };

        openDialog();
        QCOMPARE(child<QCheckBox>("chkTimeAdjust")->isChecked(), ticked);
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(lastValue(), QByteArray('"' + stored.toLatin1() + '"'));
        QCOMPARE(m_settings.TimeAdjust, stored);

        openDialog();
        clickButton(child<QCheckBox>("chkTimeAdjust"));
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(lastValue(), ticked ? QByteArray("\"0\"") : QByteArray("\"1\""));
    }

    void pastedLineBreaksEndTheText_data()
    {
        QTest::addColumn<QString>("box");
        QTest::addColumn<QString>("clipboard");
        QTest::addColumn<QString>("kept");
        QTest::newRow("spreadsheet cell")
            << QStringLiteral("txtRemoteHost") << QStringLiteral("127.0.0.2\r\n") << QStringLiteral("127.0.0.2");
        QTest::newRow("two lines") << QStringLiteral("txtMailAddress")
                                   << QStringLiteral("to@example.invalid\nBcc: x@example.invalid")
                                   << QStringLiteral("to@example.invalid");
        QTest::newRow("bare CR") << QStringLiteral("txtFixFname") << QStringLiteral("ORDERS\rX")
                                 << QStringLiteral("ORDERS");
    }
    void pastedLineBreaksEndTheText()
    {
        QFETCH(QString, box);
        QFETCH(QString, clipboard);
        QFETCH(QString, kept);
        openDialog();
        auto* edit = child<QLineEdit>(box);
        edit->setFocus();
        edit->selectAll();
        QApplication::clipboard()->setText(clipboard);
        QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(edit->text(), kept);
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(iniBytes().count('\n'), 1);
        QVERIFY(iniBytes().contains(Cp932::encode(QString(u'"' + kept + u'"'))));
    }

    void valuesTheControlsCannotShowKeepLoading()
    {
        m_settings.SendMail = 7;
        m_settings.AddDate = 9;
        m_settings.FieldSelect[19] = 0;
        m_settings.TimeAdjust = QStringLiteral("1");
        m_settings.FixFname = QStringLiteral("LAST");
        const Settings loaded = m_settings;
        openDialog();
        QVERIFY(!child<QCheckBox>("chkSendMail")->isChecked());
        for (int i = 0; i < 5; ++i) {
            QVERIFY(!child<QRadioButton>(QStringLiteral("optAddDate%1").arg(i))->isChecked());
        }
        QCOMPARE(child<QLineEdit>("txtFixFname")->text(), QStringLiteral("LAST"));
        QVERIFY(child<QCheckBox>("chkTimeAdjust")->isChecked());
        QVERIFY(!child<QCheckBox>("chkField19")->isChecked());

        // Untouched values are saved as they were read.
        QTest::mouseClick(ok(), Qt::LeftButton);
        QTRY_VERIFY(m_dialog.isNull());
        QCOMPARE(m_settings, loaded);
        const QList<QByteArray> values = iniBytes().trimmed().split(',');
        QCOMPARE(values.at(4), QByteArray("9"));
        QCOMPARE(values.at(11), QByteArray("7"));
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
        MainWindow window(m_settings, m_paths, *m_file, m_sink);
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
        QCOMPARE(m_settings.SaveFolder, folder);

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

QTEST_MAIN(TestSettingsDialog)
#include "TestSettingsDialog.moc"
