#include "output/UploadFileWriter.h"

#include "config/Cp932.h"
#include "fakes/RecordingMessageSink.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <clocale>
#include <csignal>

#include <sys/resource.h>

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
        const QString path = m_dir.filePath(name);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
            qFatal("cannot prepare %s", qPrintable(path));
        }
        return path;
    }

    static QByteArray contents(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
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
        QTest::newRow("lone LF and no final line end")
            << QByteArray("a,b\nc,d\r\ne,f") << QByteArray() << 1 << keep({2}) << QByteArray("b\r\nd\r\nf\r\n");
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
        QCOMPARE(contents(uploadPath), expected);
    }

    void failures_data()
    {
        QTest::addColumn<QString>("staging");
        QTest::addColumn<QString>("upload");
        QTest::addColumn<QString>("message");
        const QString dir = m_dir.path();
        const QString back = dir + QStringLiteral("/Back.txt");
        const QString up = dir + QStringLiteral("/UP.txt");
        QTest::newRow("missing staging file")
            << dir + QStringLiteral("/none/Back.txt") << up
            << QStringLiteral("No such file or directory「") + dir + QStringLiteral("/none/Back.txt」");
        QTest::newRow("staging file is a folder")
            << dir << up << QStringLiteral("file to open is a directory「") + dir + QStringLiteral("」");
        QTest::newRow("missing save folder")
            << back << dir + QStringLiteral("/gone/UP.txt")
            << QStringLiteral("No such file or directory「") + dir + QStringLiteral("/gone/UP.txt」");
        // Root ignores permission bits; a folder below a plain file cannot be written by anyone.
        QTest::newRow("save folder not writable")
            << back << back + QStringLiteral("/UP.txt")
            << QStringLiteral("Not a directory「") + back + QStringLiteral("/UP.txt」");
        QTest::newRow("upload file cannot be opened")
            << back << dir << QStringLiteral("Is a directory「") + dir + QStringLiteral("」");
        QTest::newRow("upload file is the staging file")
            << back << dir + QStringLiteral("/./Back.txt")
            << QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙと作業ﾌｧｲﾙが同じﾌｧｲﾙです「") + dir + QStringLiteral("/./Back.txt」");
        QTest::newRow("disk full") << back << dir + QStringLiteral("/full.txt")
                                   << QStringLiteral("No space left on device「") + dir + QStringLiteral("/full.txt」");
    }
    void failures()
    {
        QFETCH(QString, staging);
        QFETCH(QString, upload);
        QFETCH(QString, message);
        put(QStringLiteral("Back.txt"), "a,b\r\n");
        QFile::remove(m_dir.filePath(QStringLiteral("full.txt")));
        QVERIFY(QFile::link(QStringLiteral("/dev/full"), m_dir.filePath(QStringLiteral("full.txt"))));
        put(QStringLiteral("UP.txt"), "old\r\n");

        RecordingMessageSink messages;
        UploadFileWriter writer(messages, Title);
        QVERIFY(!writer.write(staging, upload, 1, all()));
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].text, message);
        QCOMPARE(messages.boxes[0].title, Title);
        QCOMPARE(messages.boxes[0].icon, MessageIcon::None);
        // Nothing the writer could not produce replaces what the folder already held.
        QCOMPARE(contents(m_dir.filePath(QStringLiteral("UP.txt"))), QByteArray("old\r\n"));
        QCOMPARE(contents(m_dir.filePath(QStringLiteral("Back.txt"))), QByteArray("a,b\r\n"));
    }

    void errorInTheMiddleKeepsEarlierLines()
    {
        QByteArray staging;
        QByteArray produced("old\r\n");
        for (int i = 0; i < 100000; ++i) {
            const QByteArray n = QByteArray::number(100000 + i);
            staging += n + ",x\r\n";
            produced += n + "\r\n";
        }
        const QString stagingPath = put(QStringLiteral("Back.txt"), staging);
        const QString uploadPath = put(QStringLiteral("UP.txt"), "old\r\n");

        // A file-size limit stands in for a disk that fills up while the file is written (works as root too).
        constexpr rlim_t Limit = 64 * 1024;
        rlimit saved{};
        QVERIFY(getrlimit(RLIMIT_FSIZE, &saved) == 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited = saved;
        limited.rlim_cur = Limit;
        QVERIFY(setrlimit(RLIMIT_FSIZE, &limited) == 0);
        RecordingMessageSink messages;
        UploadFileWriter writer(messages, Title);
        const bool result = writer.write(stagingPath, uploadPath, 0, keep({1}));
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, oldHandler);

        QVERIFY(!result);
        QCOMPARE(messages.boxes.size(), 1);
        QCOMPARE(messages.boxes[0].text, QStringLiteral("File too large「") + uploadPath + QStringLiteral("」"));
        QCOMPARE(contents(uploadPath), produced.left(qsizetype(Limit)));
    }
};

QTEST_GUILESS_MAIN(TestUploadFileWriter)
#include "TestUploadFileWriter.moc"
