#include "output/UploadOutput.h"

#include "base/Cp932.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "output/DiskRunFiles.h"
#include "output/SmtpServer.h"

#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

class TestUploadOutput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

private slots:
    void readsLiveSettingsAtEachCall()
    {
        const DiskRunFiles files(m_dir.filePath(QStringLiteral("Back.txt")));
        QFile staging(files.stagingPath());
        QVERIFY(staging.open(QIODevice::WriteOnly));
        QVERIFY(staging.write("a,b,c\r\n") == 7);
        staging.close();

        Settings settings;
        settings.RemoteHost = QStringLiteral("127.0.0.1");
        settings.OverWrite = 1;
        RecordingMessageSink messages;
        UploadOutput output(settings, files, messages, QStringLiteral("ZELBO_UDP"));
        const QString upload = m_dir.filePath(QStringLiteral("UP.txt"));

        QVERIFY(output.WriteUploadFile(upload));
        QCOMPARE(readTestFile(upload), QByteArray("a,b,c\r\n"));
        settings.OverWrite = 0;
        settings.FieldSelect.fill(0);
        settings.FieldSelect[2] = 1;
        QVERIFY(output.WriteUploadFile(upload));
        QCOMPARE(readTestFile(upload), QByteArray("a,b,c\r\nc\r\n"));
        QVERIFY(messages.boxes.isEmpty());

        QVERIFY(QFile::remove(files.stagingPath()));
        QVERIFY(!output.WriteUploadFile(upload));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].title, QStringLiteral("ZELBO_UDP"));

        // The mail carries the recipient, sender, subject and server of the settings as they are now, and the lines
        // just appended; once it is accepted they stay.
        QVERIFY(!writeTestFile(m_dir.path(), QStringLiteral("Back.txt"), "a,b,c\r\n").isEmpty());
        SmtpServer server(QStringLiteral("accept"));
        QVERIFY(server.port() != 0);
        settings.SendMail = 1;
        settings.MailAddress = QStringLiteral("to@example.com");
        settings.FromMailAddress = QStringLiteral("from@example.com");
        settings.MailSub = QStringLiteral("棚卸");
        settings.MailServer = server.address();
        output.setMailTimeouts(2s, 10s);
        QVERIFY(output.WriteUploadFile(upload));
        QString mailError;
        QVERIFY2(output.SendByMail(upload, mailError), qPrintable(mailError));
        const QJsonObject got = server.message(1);
        QCOMPARE(got.value(QLatin1String("rcpt_tos")).toArray(), QJsonArray({QStringLiteral("to@example.com")}));
        QCOMPARE(got.value(QLatin1String("mail_from")).toString(), QStringLiteral("from@example.com"));
        QCOMPARE(got.value(QLatin1String("subject")).toString(), QStringLiteral("棚卸"));
        QCOMPARE(server.read(1, QStringLiteral("attachment-0")), QByteArray("a,b,c\r\nc\r\nc\r\n"));
        QVERIFY(!output.UndoUploadFile());
        QCOMPARE(readTestFile(upload), QByteArray("a,b,c\r\nc\r\nc\r\n"));
        // A subject another tool wrote into the settings file as 0xEEE0 (the NEC-selected code of 髙) is mailed as 髙.
        Settings fromFile;
        QByteArray file = SettingsFile::formatFile(settings);
        file.replace(Cp932::encode(settings.MailSub), QByteArray("\xEE\xE0"));
        QCOMPARE(SettingsFile::parse(file, fromFile), ReadResult::Ok);
        QCOMPARE(fromFile.MailSub, QStringLiteral("髙"));
        UploadOutput fromFileOutput(fromFile, files, messages, QStringLiteral("ZELBO_UDP"));
        fromFileOutput.setMailTimeouts(2s, 10s);
        QVERIFY2(fromFileOutput.SendByMail(upload, mailError), qPrintable(mailError));
        QCOMPARE(server.message(2).value(QLatin1String("subject")).toString(), QStringLiteral("髙"));
    }
};

QTEST_GUILESS_MAIN(TestUploadOutput)
#include "TestUploadOutput.moc"
