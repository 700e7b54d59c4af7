// What the settings dialog's OK writes: every edited value, the settings applied when the write fails, values the
// controls cannot show kept as read, TimeAdjust, long and pasted texts.

#include "SettingsDialogFixture.h"

#include "base/Cp932.h"

#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QRadioButton>
#include <QTest>

class TestSettingsDialogSave : public QObject, private SettingsDialogFixture
{
    Q_OBJECT

private slots:
    void initTestCase() { nameApplication(); }
    void init() { openFixture(); }
    void cleanup() { closeFixture(); }

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
};

QTEST_MAIN(TestSettingsDialogSave)
#include "TestSettingsDialogSave.moc"
