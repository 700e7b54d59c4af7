#include "output/UploadOutput.h"

#include "base/Cp932.h"
#include "config/Settings.h"
#include "config/SettingsFile.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/TestFiles.h"
#include "output/CycleJournal.h"
#include "output/SmtpServer.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTest>

using namespace std::chrono_literals;

class TestUploadOutput : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    // One cycle up to its end of file: the records staged, then the upload file stored at upload.
    static Output::Stored storeCycle(UploadOutput& output, const QString& upload, const QStringList& records)
    {
        if (output.beginCycle(QFileInfo(upload).dir().filePath(QStringLiteral("LOG.TXT")))) {
            return Output::Stored::Failed;
        }
        for (const QString& record : records) {
            if (output.writeRecord(record)) {
                return Output::Stored::Failed;
            }
        }
        return output.WriteUploadFile(upload);
    }
    static void answer(UploadOutput& output, bool acknowledged)
    {
        QVERIFY(!output.settleCycle(acknowledged));
        output.endCycle(true);
        output.finishFileWork();
    }

private slots:
    void readsLiveSettingsAtEachCall()
    {
        Settings settings;
        settings.RemoteHost = QStringLiteral("127.0.0.1");
        settings.OverWrite = 1;
        settings.SaveFolder = m_dir.path();
        const ProgramPaths paths = testProgramPaths(m_dir.path());
        RecordingMessageSink messages;
        UploadOutput output(settings, paths, messages, QStringLiteral("ZELBO_UDP"));
        const QString upload = m_dir.filePath(QStringLiteral("UP.txt"));

        QCOMPARE(storeCycle(output, upload, {QStringLiteral("a,b,c")}), Output::Stored::Written);
        answer(output, true);
        QCOMPARE(readTestFile(upload), QByteArray("a,b,c\r\n"));
        settings.OverWrite = 0;
        settings.FieldSelect.fill(0);
        settings.FieldSelect[2] = 1;
        QCOMPARE(storeCycle(output, upload, {QStringLiteral("a,b,c")}), Output::Stored::Written);
        answer(output, true);
        QCOMPARE(readTestFile(upload), QByteArray("a,b,c\r\nc\r\n"));
        QVERIFY(messages.boxes.isEmpty());

        // A folder where the upload file should be: the writer's box, and the cycle fails.
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("UPDIR.txt")));
        QCOMPARE(storeCycle(output, m_dir.filePath(QStringLiteral("UPDIR.txt")), {QStringLiteral("x")}),
                 Output::Stored::Failed);
        answer(output, false);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].title, QStringLiteral("ZELBO_UDP"));

        // The mail carries the recipient, sender, subject and server of the settings as they are now, and the lines
        // just appended; once it is accepted they stay.
        SmtpServer server(QStringLiteral("accept"));
        QVERIFY(server.port() != 0);
        QString mailError;
        QCOMPARE(output.SendByMail(mailError), Output::Mail::NotMailed);
        settings.SendMail = 1;
        settings.MailAddress = QStringLiteral("to@example.com");
        settings.FromMailAddress = QStringLiteral("from@example.com");
        settings.MailSub = QStringLiteral("棚卸");
        settings.MailServer = server.address();
        output.setMailTimeouts(2s, 10s);
        QCOMPARE(storeCycle(output, upload, {QStringLiteral("a,b,c")}), Output::Stored::Written);
        QCOMPARE(output.SendByMail(mailError), Output::Mail::Sent);
        const QJsonObject got = server.message(1);
        QCOMPARE(got.value(QLatin1String("rcpt_tos")).toArray(), QJsonArray({QStringLiteral("to@example.com")}));
        QCOMPARE(got.value(QLatin1String("mail_from")).toString(), QStringLiteral("from@example.com"));
        QCOMPARE(got.value(QLatin1String("subject")).toString(), QStringLiteral("棚卸"));
        QCOMPARE(server.read(1, QStringLiteral("attachment-0")), QByteArray("a,b,c\r\nc\r\nc\r\n"));
        answer(output, true);
        QCOMPARE(readTestFile(upload), QByteArray("a,b,c\r\nc\r\nc\r\n"));
        // A subject another tool wrote into the settings file as 0xEEE0 (the NEC-selected code of 髙) is mailed as 髙.
        Settings fromFile;
        QByteArray file = SettingsFile::formatFile(settings);
        file.replace(Cp932::encode(settings.MailSub), QByteArray("\xEE\xE0"));
        QCOMPARE(SettingsFile::parse(file, fromFile), ReadResult::Ok);
        QCOMPARE(fromFile.MailSub, QStringLiteral("髙"));
        UploadOutput fromFileOutput(fromFile, paths, messages, QStringLiteral("ZELBO_UDP"));
        fromFileOutput.setMailTimeouts(2s, 10s);
        QCOMPARE(storeCycle(fromFileOutput, upload, {QStringLiteral("x")}), Output::Stored::Written);
        QCOMPARE(fromFileOutput.SendByMail(mailError), Output::Mail::Sent);
        QCOMPARE(server.message(2).value(QLatin1String("subject")).toString(), QStringLiteral("髙"));
        answer(fromFileOutput, true);
    }

    // What a start finds of a cycle killed between its journal and its final answer, in append mode.
    void journalAfterAKill()
    {
        QTemporaryDir dir;
        Settings settings;
        settings.SaveFolder = dir.path();
        settings.OverWrite = 0;
        const ProgramPaths paths = testProgramPaths(dir.path());
        RecordingMessageSink messages;
        const QString upload = dir.filePath(QStringLiteral("UP.txt"));
        const QByteArray old = "old\r\n";
        const QStringList block = {QStringLiteral("r1,ｱ"), QStringLiteral("r2,売")};
        const QByteArray blockBytes = Cp932::encode(block.join(QStringLiteral("\r\n"))) + "\r\n";
        CycleJournal journal(paths.journalPath);
        JournalEntry entry;
        entry.uploadPath = upload;
        entry.oldLength = old.size();
        entry.blockLength = blockBytes.size();
        entry.digest = QCryptographicHash::hash(blockBytes, QCryptographicHash::Sha256);
        entry.mailAccepted = true;

        // Each case: the upload file and journal as a kill left them, what the start finds (and tells the system log),
        // what the repeated block does, and the file after its answer.
        QStringList told;
        const auto startWith = [&](const QByteArray& file, const QByteArray& journalBytes) {
            told.clear();
            writeTestFile(dir.path(), QStringLiteral("UP.txt"), file);
            // The staging file still holds the block, as the kill left it.
            writeTestFile(dir.path(), QStringLiteral("Back.txt"), cp932Lines(block));
            QFile::remove(paths.journalPath);
            if (!journalBytes.isNull()) {
                writeTestFile(dir.path(), QStringLiteral("Cycle.jnl"), journalBytes);
            }
            auto made = std::make_unique<UploadOutput>(settings, paths, messages, QStringLiteral("ZELBO_UDP"));
            made->setSystemLog([&told](SystemEvent event, const QStringList& strings) {
                told << QString::number(int(event)) + u' ' + strings.join(u'|');
            });
            return made;
        };
        const QString uploadShown = QDir::toNativeSeparators(upload);
        const QByteArray written = CycleJournal::encode(entry);
        QCOMPARE(CycleJournal::decode(written), entry);

        // The whole block is in the file: the repeat is acknowledged, not stored or mailed again.
        auto output = startWith(old + blockBytes, written);
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Pending);
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Nothing);
        QCOMPARE(told, QStringList{QStringLiteral("1005 ") + uploadShown});
        QCOMPARE(storeCycle(*output, upload, block), Output::Stored::AlreadyStored);
        settings.SendMail = 1;
        QString mailError;
        QCOMPARE(output->SendByMail(mailError), Output::Mail::AlreadySent);
        settings.SendMail = 0;
        QVERIFY(QFile::exists(paths.journalPath));
        answer(*output, true);
        QCOMPARE(readTestFile(upload), old + blockBytes);
        QVERIFY(!QFile::exists(paths.journalPath));

        // ...but a different block means the answer was "ACK": both stay.
        output = startWith(old + blockBytes, written);
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Pending);
        QCOMPARE(storeCycle(*output, upload, {QStringLiteral("new")}), Output::Stored::Written);
        answer(*output, true);
        QCOMPARE(readTestFile(upload), old + blockBytes + "new\r\n");

        // Killed before or during the write: the file goes back to its old length and the repeat is stored once.
        for (const QByteArray& torn : {old, old + blockBytes.left(5), old + QByteArray(blockBytes.size(), '\0')}) {
            output = startWith(torn, written);
            QCOMPARE(output->recoverCycle().recovery,
                     torn == old ? Output::Recovery::Nothing : Output::Recovery::CutBack);
            QCOMPARE(told, torn == old ? QStringList()
                                       : QStringList{QStringLiteral("1006 ") + uploadShown + QStringLiteral("|5")});
            QCOMPARE(readTestFile(upload), old);
            QVERIFY(!QFile::exists(paths.journalPath));
            QCOMPARE(storeCycle(*output, upload, block), Output::Stored::Written);
            answer(*output, true);
            QCOMPARE(readTestFile(upload), old + blockBytes);
        }
        // Another copy appended after the kill: its lines are not this write's, and stay.
        const QByteArray theirs = old + blockBytes.left(5) + "b,1\r\n";
        output = startWith(theirs, written);
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Nothing);
        QCOMPARE(readTestFile(upload), theirs);
        // A file the write created is removed again.
        entry.oldLength = -1;
        output = startWith(blockBytes.left(3), CycleJournal::encode(entry));
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::CutBack);
        QCOMPARE(told, QStringList{QStringLiteral("1006 ") + uploadShown + QStringLiteral("|0")});
        QVERIFY(!QFile::exists(upload));

        // A torn journal is ignored and removed; the file is left as it is.
        output = startWith(old + blockBytes.left(5), written.left(written.size() - 3));
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Unreadable);
        QCOMPARE(told, QStringList{QStringLiteral("2004 ") + QDir::toNativeSeparators(paths.journalPath)});
        QCOMPARE(readTestFile(upload), old + blockBytes.left(5));
        QVERIFY(!QFile::exists(paths.journalPath));

        // A stale temporary of a replacement is removed; other files are not.
        writeTestFile(dir.path(), QStringLiteral("UP.txt.1f2e3d.tmp"), "x");
        writeTestFile(dir.path(), QStringLiteral("UP.txt.notours.tmp"), "x");
        output = startWith(old, QByteArray());
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Nothing);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("UP.txt.1f2e3d.tmp"))));
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("UP.txt.notours.tmp"))));

        // A refused mail after an adopted block takes it back: no "ACK" went out for it, so the terminal sends it
        // again after "CAN".
        entry.oldLength = old.size();
        entry.mailAccepted = false;
        output = startWith(old + blockBytes, CycleJournal::encode(entry));
        QCOMPARE(output->recoverCycle().recovery, Output::Recovery::Pending);
        QCOMPARE(storeCycle(*output, upload, block), Output::Stored::AlreadyStored);
        settings.SendMail = 1;
        settings.MailServer = QStringLiteral("127.0.0.1:1");
        output->setMailTimeouts(2s, 4s);
        QCOMPARE(output->SendByMail(mailError), Output::Mail::Failed);
        answer(*output, false);
        QCOMPARE(readTestFile(upload), old);
        QVERIFY(!QFile::exists(paths.journalPath));
    }

    // Two copies with the same save folder and file name: the second waits for the first's cycle to be settled,
    // then answers "CAN" rather than append in between; its next cycle is stored after the first's lines.
    void oneWriterAtATime()
    {
        QTemporaryDir dir;
        Settings settings;
        settings.SaveFolder = dir.path();
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a")) && QDir(dir.path()).mkpath(QStringLiteral("b")));
        RecordingMessageSink messages;
        UploadOutput first(settings, testProgramPaths(dir.filePath(QStringLiteral("a"))), messages, QString());
        UploadOutput second(settings, testProgramPaths(dir.filePath(QStringLiteral("b"))), messages, QString());
        const QString upload = dir.filePath(QStringLiteral("UP.txt"));

        QCOMPARE(storeCycle(first, upload, {QStringLiteral("1")}), Output::Stored::Written);
        QCOMPARE(storeCycle(second, upload, {QStringLiteral("2")}), Output::Stored::Failed);
        answer(second, false);
        QCOMPARE(messages.boxes.size(), 1);
        answer(first, true);
        QCOMPARE(storeCycle(second, upload, {QStringLiteral("2")}), Output::Stored::Written);
        answer(second, true);
        QCOMPARE(readTestFile(upload), QByteArray("1\r\n2\r\n"));
        QVERIFY(!QFile::exists(UploadFileHold::lockPath(upload)));
    }

    // A mail the server refuses, or a sign-in that fails, is told to the system log once until a mail goes through or
    // the failure changes: the terminal repeats the cycle meanwhile. A server that cannot be reached is no refusal.
    void mailFailuresToldOnce()
    {
        QTemporaryDir dir;
        Settings settings;
        settings.SaveFolder = dir.path();
        settings.SendMail = 1;
        settings.MailAddress = QStringLiteral("to@example.com");
        settings.FromMailAddress = QStringLiteral("from@example.com");
        RecordingMessageSink messages;
        UploadOutput output(settings, testProgramPaths(dir.path()), messages, QStringLiteral("ZELBO_UDP"));
        output.setMailTimeouts(2s, 10s);
        QStringList told;
        output.setSystemLog([&told](SystemEvent event, const QStringList& strings) {
            told << QString::number(int(event)) + u' ' + strings.join(u'|');
        });
        const QString upload = dir.filePath(QStringLiteral("UP.txt"));
        const auto mailCycle = [&](const QString& server) {
            settings.MailServer = server;
            QString mailError;
            if (storeCycle(output, upload, {QStringLiteral("a")}) != Output::Stored::Written) {
                return QStringLiteral("not stored");
            }
            const Output::Mail mail = output.SendByMail(mailError);
            answer(output, mail == Output::Mail::Sent);
            return mail == Output::Mail::Sent ? QStringLiteral("sent") : mailError;
        };
        SmtpServer refusing(QStringLiteral("reject"));
        SmtpServer accepting(QStringLiteral("accept"));
        QVERIFY(refusing.port() != 0 && accepting.port() != 0);

        const QString refused = mailCycle(refusing.address());
        QVERIFY2(refused.startsWith(QStringLiteral("55 ")), qPrintable(refused));
        QCOMPARE(mailCycle(refusing.address()), refused);
        QVERIFY(!mailCycle(QStringLiteral("127.0.0.1:1")).isEmpty());
        settings.MailUser = QStringLiteral("zelbo");
        const QString signIn = mailCycle(refusing.address());
        QVERIFY2(signIn.startsWith(QStringLiteral("67 ")), qPrintable(signIn));
        settings.MailUser.clear();
        QCOMPARE(mailCycle(accepting.address()), QStringLiteral("sent"));
        QCOMPARE(mailCycle(refusing.address()), refused);
        QCOMPARE(told, (QStringList{QStringLiteral("2001 to@example.com|") + refused,
                                    QStringLiteral("3001 ") + refusing.address() + QStringLiteral("|zelbo|") + signIn,
                                    QStringLiteral("2001 to@example.com|") + refused}));
    }

    // A failure that lasts is two history lines, its first cycle and its last with the count; a history that cannot
    // take more lines says so once in the status box. (Its notices are followed through to the tray in
    // TestMainWindowActions.)
    void lastingFailureInTheHistory()
    {
        QTemporaryDir dir;
        Settings settings;
        const ProgramPaths paths = testProgramPaths(dir.path());
        RecordingMessageSink messages;
        UploadOutput output(settings, paths, messages, QStringLiteral("ZELBO_UDP"));
        QStringList notes;
        auto cycle = [&](int second, const QString& failure) {
            Output::CycleSummary summary;
            summary.time = QDateTime(QDate(2026, 12, 8), QTime(10, 15, second));
            summary.end = failure.isEmpty() ? Output::CycleEnd::Acknowledged : Output::CycleEnd::Failed;
            summary.failure = failure;
            notes << output.recordCycle(summary);
        };
        for (int second = 0; second <= 15; second += 3) {
            cycle(second, second % 15 == 0 ? QString() : QStringLiteral("保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信"));
        }
        QCOMPARE(readTestFile(paths.historyPath),
                 Cp932::encode(QStringLiteral(
                     "日時,端末ﾌｧｲﾙ名,ﾚｺｰﾄﾞ件数,受信件数,応答,ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ,ﾒｰﾙ結果,異常内容\r\n"
                     "2026/12/08 10:15:00,,0,0,ACK,,,\r\n"
                     "2026/12/08 10:15:03,,0,0,CAN,,,保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信\r\n"
                     "2026/12/08 10:15:12,,0,0,CAN,,,保存ﾌｫﾙﾀﾞが存在しません : Z:\\受信 (4回連続の最後)\r\n"
                     "2026/12/08 10:15:15,,0,0,ACK,,,\r\n")));

        // At the session's end a failure still repeating gets its closing line.
        cycle(18, QStringLiteral("A"));
        cycle(21, QStringLiteral("A"));
        output.recorder().flush();
        QVERIFY(readTestFile(paths.historyPath)
                    .endsWith(Cp932::encode(QStringLiteral("10:15:18,,0,0,CAN,,,A\r\n"
                                                           "2026/12/08 10:15:21,,0,0,CAN,,,A (2回連続の最後)\r\n"))));

        QVERIFY(QFile::remove(paths.historyPath) && QDir().mkdir(paths.historyPath));
        for (int n = 0; n <= CycleHistory::MaxHeldLines; ++n) {
            cycle(30, QString());
        }
        notes.removeAll(QString());
        QVERIFY(notes.size() == 1 &&
                notes[0].startsWith(
                    QStringLiteral("<History> 履歴ﾌｧｲﾙに書き込めないため、1000件を超えた分の履歴を記録しません ")));
    }
};

QTEST_GUILESS_MAIN(TestUploadOutput)
#include "TestUploadOutput.moc"
