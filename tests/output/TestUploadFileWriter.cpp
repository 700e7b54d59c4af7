#include "output/UploadFileWriter.h"

#include "base/Cp932.h"
#include "fakes/FileFaults.h"
#include "fakes/RecordingMessageSink.h"
#include "fakes/SystemErrorText.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <optional>

#include <sys/stat.h>

namespace {

using Flags = UploadFileWriter::FieldFlags;

// Flags from the 1-based field numbers to keep.
Flags keep(const QList<int>& fields)
{
    Flags flags{};
    for (const int field : fields) {
        flags[field - 1] = 1;
    }
    return flags;
}

Flags all()
{
    Flags flags{};
    flags.fill(1);
    return flags;
}

QByteArray fields(int count)
{
    QByteArrayList list;
    for (int i = 1; i <= count; ++i) {
        list << "f" + QByteArray::number(i);
    }
    return list.join(',');
}

const QString Title = QStringLiteral("ZELBO_UDP");

} // namespace

Q_DECLARE_METATYPE(Flags)

class TestUploadFileWriter : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    QString put(const QString& name, const QByteArray& bytes)
    {
        const QString path = writeTestFile(m_dir.path(), name, bytes);
        if (path.isEmpty()) {
            qFatal("cannot prepare %s", qPrintable(name));
        }
        return path;
    }

private slots:
    void initTestCase()
    {
        // Expected error descriptions are the C locale's.
        std::setlocale(LC_ALL, "C");
        QVERIFY(m_dir.isValid());
    }

    void selectFields_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<Flags>("flags");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("all flags, 20 fields") << fields(20) << all() << fields(20);
        QTest::newRow("F2 and F4") << QByteArray("a,b,c,d,e") << keep({2, 4}) << QByteArray("b,d");
        QTest::newRow("empty field in the middle is kept")
            << QByteArray("a,,c") << keep({1, 2, 3}) << QByteArray("a,,c");
        QTest::newRow("empty first field") << QByteArray(",x") << keep({1, 2}) << QByteArray(",x");
        QTest::newRow("25 fields keep the first 20") << fields(25) << all() << fields(20);
        QTest::newRow("F20 of 25 fields ends at its comma") << fields(25) << keep({20}) << QByteArray("f20");
        QTest::newRow("no flag") << QByteArray("a,b,c") << Flags{} << QByteArray();
        QTest::newRow("fields the record lacks are not written") << QByteArray("a,b") << all() << QByteArray("a,b");
        QTest::newRow("F2 and F4 of a two-field record") << QByteArray("a,b") << keep({2, 4}) << QByteArray("b");
        QTest::newRow("trailing empty field is the record's own") << QByteArray("a,b,") << all() << QByteArray("a,b,");
        QTest::newRow("empty line") << QByteArray() << all() << QByteArray();
        QTest::newRow("only the flag value 1 keeps") << QByteArray("a,b,c") << Flags{-1, 1, 2} << QByteArray("b");
        // 表 is 0x95 0x5C: its trail byte is a backslash, never a comma.
        QTest::newRow("double-byte and half-width text")
            << Cp932::encode(QStringLiteral("表示,ｱｲｳｴｵ,在庫　数,ソ")) << keep({1, 3, 4})
            << Cp932::encode(QStringLiteral("表示,在庫　数,ソ"));
    }
    void selectFields()
    {
        QFETCH(QByteArray, line);
        QFETCH(Flags, flags);
        QFETCH(QByteArray, expected);
        QByteArray out("prefix|");
        UploadFileWriter::appendSelectedFields(std::string_view(line.constData(), std::size_t(line.size())), flags,
                                               out);
        QCOMPARE(out, "prefix|" + expected);
    }

    void writeFile_data()
    {
        QTest::addColumn<QByteArray>("staging");
        QTest::addColumn<QByteArray>("existing"); // null: no upload file yet
        QTest::addColumn<int>("overWrite");
        QTest::addColumn<Flags>("flags");
        QTest::addColumn<QByteArray>("expected");
        const QByteArray twoLines("a,b,c\r\n1,2,3\r\n");
        QTest::newRow("overwrite replaces old lines")
            << twoLines << QByteArray("old\r\n") << 1 << keep({1, 3}) << QByteArray("a,c\r\n1,3\r\n");
        QTest::newRow("append keeps old lines in front")
            << twoLines << QByteArray("old\r\n") << 0 << keep({1, 3}) << QByteArray("old\r\na,c\r\n1,3\r\n");
        QTest::newRow("any value but 1 appends")
            << twoLines << QByteArray("old\r\n") << -1 << keep({2}) << QByteArray("old\r\nb\r\n2\r\n");
        QTest::newRow("append creates a missing file") << twoLines << QByteArray() << 0 << all() << twoLines;
        // Records end at CR LF only: a LF or a lone CR is part of the record.
        QTest::newRow("LF inside a record and no final line end")
            << QByteArray("a,b\nc,d\r\ne,f") << QByteArray() << 1 << keep({2}) << QByteArray("b\nc\r\nf\r\n");
        QTest::newRow("lone CR inside a record")
            << QByteArray("a\rb,c\r\n\r\r\n") << QByteArray() << 1 << all() << QByteArray("a\rb,c\r\n\r\r\n");
        QTest::newRow("blank lines stay")
            << QByteArray("\r\n\r\nx\r\n") << QByteArray() << 1 << all() << QByteArray("\r\n\r\nx\r\n");
        QTest::newRow("no flag gives empty lines")
            << twoLines << QByteArray() << 1 << Flags{} << QByteArray("\r\n\r\n");
        QTest::newRow("empty staging file empties in overwrite")
            << QByteArray() << QByteArray("old\r\n") << 1 << all() << QByteArray("");
        QTest::newRow("empty staging file leaves append unchanged")
            << QByteArray() << QByteArray("old\r\n") << 0 << all() << QByteArray("old\r\n");
        QTest::newRow("empty staging file creates the file")
            << QByteArray() << QByteArray() << 0 << all() << QByteArray("");
        QTest::newRow("japanese records")
            << Cp932::encode(QStringLiteral("4901234567894,ｺｰﾋｰ牛乳,表示価格,１２０\r\n")) << QByteArray() << 1
            << keep({2, 4}) << Cp932::encode(QStringLiteral("ｺｰﾋｰ牛乳,１２０\r\n"));

        // Lines longer than the read block and many lines across block borders.
        const QByteArray huge(3 << 20, 'x');
        const QByteArray blockLess1((1 << 20) - 1, 'x');
        QTest::newRow("CR LF across a read block border") << blockLess1 + "\r\nz\r\n"
                                                          << QByteArray() << 1 << all() << blockLess1 + "\r\nz\r\n";
        QTest::newRow("line longer than a read block") << huge + ",y\r\nz\r\n"
                                                       << QByteArray() << 1 << keep({2}) << QByteArray("y\r\n\r\n");
        QByteArray many;
        QByteArray manyExpected;
        for (int i = 0; i < 200000; ++i) {
            const QByteArray n = QByteArray::number(i);
            many += n + ",abc," + n + ",def\r\n";
            manyExpected += n + "," + n + "\r\n";
        }
        QTest::newRow("many lines across blocks") << many << QByteArray() << 1 << keep({1, 3}) << manyExpected;
    }
    void writeFile()
    {
        QFETCH(QByteArray, staging);
        QFETCH(QByteArray, existing);
        QFETCH(int, overWrite);
        QFETCH(Flags, flags);
        QFETCH(QByteArray, expected);
        const QString stagingPath = put(QStringLiteral("Back.txt"), staging);
        const QString uploadPath = m_dir.filePath(QStringLiteral("UP.txt"));
        QFile::remove(uploadPath);
        if (!existing.isNull()) {
            put(QStringLiteral("UP.txt"), existing);
        }

        RecordingMessageSink messages;
        UploadFileWriter writer(messages, Title);
        QVERIFY(writer.write(stagingPath, uploadPath, std::int16_t(overWrite), flags));
        QVERIFY(messages.boxes.isEmpty());
        QVERIFY(QFile::exists(uploadPath));
        QCOMPARE(readTestFile(uploadPath), expected);
    }

#ifndef Q_OS_WIN // POSIX file-system faults (size limit, FIFOs, devices, permission bits)
    void failures_data()
    {
        QTest::addColumn<QString>("staging");
        QTest::addColumn<QString>("upload");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("overWrite");
        const QString dir = m_dir.path();
        const QString back = dir + QStringLiteral("/Back.txt");
        const QString up = dir + QStringLiteral("/UP.txt");
        QTest::newRow("missing staging file")
            << dir + QStringLiteral("/none/Back.txt") << up
            << QStringLiteral("No such file or directory「") + dir + QStringLiteral("/none/Back.txt」") << 1;
        QTest::newRow("staging file is a folder")
            << dir << up << QStringLiteral("Is a directory「") + dir + QStringLiteral("」") << 1;
        QTest::newRow("missing save folder")
            << back << dir + QStringLiteral("/gone/UP.txt")
            << QStringLiteral("No such file or directory「") + dir + QStringLiteral("/gone/UP.txt」") << 1;
        // Root ignores permission bits; a folder below a plain file cannot be written by anyone.
        QTest::newRow("save folder not writable")
            << back << back + QStringLiteral("/UP.txt")
            << QStringLiteral("Not a directory「") + back + QStringLiteral("/UP.txt」") << 1;
        QTest::newRow("upload file cannot be opened")
            << back << dir << QStringLiteral("Is a directory「") + dir + QStringLiteral("」") << 1;
        QTest::newRow("upload file is the staging file")
            << back << dir + QStringLiteral("/./Back.txt")
            << QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙと作業ﾌｧｲﾙが同じﾌｧｲﾙです「") + dir + QStringLiteral("/./Back.txt」") << 1;
        // FIFOs and devices are refused without waiting for the other end.
        QTest::newRow("device as upload file")
            << back << dir + QStringLiteral("/full.txt")
            << QStringLiteral("Invalid argument「") + dir + QStringLiteral("/full.txt」") << 0;
        QTest::newRow("FIFO as upload file, overwrite")
            << back << dir + QStringLiteral("/fifo.txt")
            << QStringLiteral("No such device or address「") + dir + QStringLiteral("/fifo.txt」") << 1;
        QTest::newRow("FIFO as upload file, append")
            << back << dir + QStringLiteral("/fifo.txt")
            << QStringLiteral("No such device or address「") + dir + QStringLiteral("/fifo.txt」") << 0;
        QTest::newRow("FIFO as staging file")
            << dir + QStringLiteral("/fifo.txt") << up
            << QStringLiteral("Invalid argument「") + dir + QStringLiteral("/fifo.txt」") << 1;
    }
    void failures()
    {
        QFETCH(QString, staging);
        QFETCH(QString, upload);
        QFETCH(QString, message);
        QFETCH(int, overWrite);
        put(QStringLiteral("Back.txt"), "a,b\r\n");
        QFile::remove(m_dir.filePath(QStringLiteral("full.txt")));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_dir.filePath(QStringLiteral("full.txt"))));
        const QString fifo = m_dir.filePath(QStringLiteral("fifo.txt"));
        QVERIFY(QFile::exists(fifo) || ::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        put(QStringLiteral("UP.txt"), "old\r\n");

        RecordingMessageSink messages;
        UploadFileWriter writer(messages, Title);
        QVERIFY(!writer.write(staging, upload, std::int16_t(overWrite), all()));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].text, message);
        QCOMPARE(messages.boxes[0].title, Title);
        QCOMPARE(messages.boxes[0].icon, MessageIcon::None);
        QVERIFY(!messages.boxes[0].waited); // the run answers "CAN" and polls on with the box open
        // Nothing the writer could not produce replaces what the folder already held.
        QCOMPARE(readTestFile(m_dir.filePath(QStringLiteral("UP.txt"))), QByteArray("old\r\n"));
        QCOMPARE(readTestFile(m_dir.filePath(QStringLiteral("Back.txt"))), QByteArray("a,b\r\n"));
    }

    // A disk that fills up while the file is written: a file-size limit stands in for it (works as root too).
    void failedWriteLeavesTheUploadFileAsItWas_data()
    {
        QTest::addColumn<int>("overWrite");
        QTest::addColumn<QByteArray>("existing"); // null: no upload file yet
        QTest::addColumn<bool>("lockedFolder");   // no new file may be created beside the upload file
        QTest::newRow("append") << 0 << QByteArray("old\r\nT1") << false;
        QTest::newRow("append to a missing file") << 0 << QByteArray() << false;
        QTest::newRow("overwrite") << 1 << QByteArray("old\r\n") << false;
        QTest::newRow("overwrite in place") << 1 << QByteArray("old\r\n") << true;
    }
    void failedWriteLeavesTheUploadFileAsItWas()
    {
        QFETCH(int, overWrite);
        QFETCH(QByteArray, existing);
        QFETCH(bool, lockedFolder);
        QByteArray staging;
        QByteArray produced;
        for (int i = 0; i < 100000; ++i) {
            const QByteArray n = QByteArray::number(100000 + i);
            staging += n + ",x\r\n";
            produced += n + "\r\n";
        }
        const QString stagingPath = put(QStringLiteral("Back.txt"), staging);
        QTemporaryDir save(m_dir.filePath(QStringLiteral("save-XXXXXX")));
        const QString uploadPath = save.filePath(QStringLiteral("UP.txt"));
        if (!existing.isNull()) {
            QFile file(uploadPath);
            QVERIFY(file.open(QIODevice::WriteOnly));
            QCOMPARE(file.write(existing), existing.size());
        }
        std::optional<LockedFolder> lock;
        if (lockedFolder) {
            lock.emplace(save.path());
            if (!lock->locked()) {
                QSKIP("no way to keep this user from creating files in a folder here");
            }
            QVERIFY(!QFile(save.filePath(QStringLiteral("probe"))).open(QIODevice::WriteOnly));
        }
        const QStringList before = QDir(save.path()).entryList(QDir::Files);

        RecordingMessageSink messages;
        UploadFileWriter writer(messages, Title);
        bool result = true;
        {
            const FileSizeLimit limit(64 * 1024);
            QVERIFY(limit.active());
            result = writer.write(stagingPath, uploadPath, std::int16_t(overWrite), keep({1}));
        }
        QVERIFY(!result);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].text, QStringLiteral("File too large「") + uploadPath + QStringLiteral("」"));
        QCOMPARE(QDir(save.path()).entryList(QDir::Files), before);
        QCOMPARE(readTestFile(uploadPath), existing.isNull() ? QByteArray("<missing>") : existing);

        // The same folder takes the whole file once there is room.
        QVERIFY(writer.write(stagingPath, uploadPath, std::int16_t(overWrite), keep({1})));
        QCOMPARE(readTestFile(uploadPath), (overWrite == 1 ? QByteArray() : existing) + produced);
        QCOMPARE(QDir(save.path()).entryList(QDir::Files), QStringList{QStringLiteral("UP.txt")});
    }
#endif

#ifdef Q_OS_WIN // another program holding the upload file: Windows' share modes
    void heldUploadFile_data()
    {
        QTest::addColumn<int>("overWrite");
        QTest::addColumn<QString>("share"); // what the holder lets others do
        QTest::addColumn<int>("holdMs");    // 0: until the write has failed
        // Excel shares an open text file with readers only: the append's open meets it.
        QTest::newRow("append, held a moment") << 0 << QStringLiteral("r") << 300;
        QTest::newRow("append, held throughout") << 0 << QStringLiteral("r") << 0;
        // A scanner lets others write but not replace the file: the replacement's rename meets it.
        QTest::newRow("overwrite, held a moment") << 1 << QStringLiteral("rw") << 300;
        QTest::newRow("overwrite, held throughout") << 1 << QStringLiteral("rw") << 0;
    }
    void heldUploadFile()
    {
        QFETCH(int, overWrite);
        QFETCH(QString, share);
        QFETCH(int, holdMs);
        const QString stagingPath = put(QStringLiteral("Back.txt"), "a,b\r\nc,d\r\n");
        QTemporaryDir save(m_dir.filePath(QStringLiteral("held-XXXXXX")));
        const QByteArray old("old\r\n");
        const QString uploadPath = writeTestFile(save.path(), QStringLiteral("UP.txt"), old);
        QVERIFY(!uploadPath.isEmpty());
        QProcess holder;
        holder.start(QStringLiteral(HOLD_FILE_PATH),
                     {QDir::toNativeSeparators(uploadPath), QString::number(holdMs > 0 ? holdMs : 60000), share});
        QVERIFY(holder.waitForReadyRead(10000));
        QCOMPARE(holder.readLine().trimmed(), QByteArray("HELD"));

        RecordingMessageSink messages;
        UploadFileWriter writer(messages, Title);
        QElapsedTimer elapsed;
        elapsed.start();
        const bool written = writer.write(stagingPath, uploadPath, std::int16_t(overWrite), keep({2}));
        const qint64 took = elapsed.elapsed();
        holder.kill();
        holder.waitForFinished(5000);

        if (holdMs > 0) {
            QVERIFY2(written, qPrintable(messages.boxes.isEmpty() ? QString() : messages.boxes[0].text));
            QVERIFY2(took >= 100, "the file was no longer held: nothing was tried again");
            QCOMPARE(readTestFile(uploadPath), (overWrite == 1 ? QByteArray() : old) + "b\r\nd\r\n");
        } else {
            // After about a second the system's own words say why, and the old file is as it was.
            QVERIFY(!written);
            QCOMPARE(messages.boxes.size(), 1);
            QCOMPARE(messages.boxes[0].text, systemErrorText(ERROR_SHARING_VIOLATION) + QStringLiteral("「") +
                                                 QDir::toNativeSeparators(uploadPath) + QStringLiteral("」"));
            QCOMPARE(readTestFile(uploadPath), old);
        }
        QCOMPARE(QDir(save.path()).entryList(QDir::Files), QStringList{QStringLiteral("UP.txt")});
    }
#endif
};

QTEST_GUILESS_MAIN(TestUploadFileWriter)
#include "TestUploadFileWriter.moc"
