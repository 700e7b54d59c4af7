#include "output/DiskRunFiles.h"

#include "base/Cp932.h"
#include "fakes/FileFaults.h"
#include "fakes/SystemErrorText.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

class TestDiskRunFiles : public QObject
{
    Q_OBJECT

    static QByteArray readAll(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

private slots:
    void writesCp932LinesAndTruncates()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString back = dir.filePath(QStringLiteral("Back.txt"));
        const QString log = dir.filePath(QStringLiteral("LOG.TXT"));
        QFile old(back);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old content that must go\r\n");
        old.close();

        DiskRunFiles files(back);
        QVERIFY(!files.openStaging());
        QVERIFY(!files.openLog(log));
        QVERIFY(!files.writeStagingLine(QStringLiteral("A,売上,ｱ")));
        // Held until flushed; then visible to a reader before the files are closed: the writer reopens by path.
        QCOMPARE(readAll(back), QByteArray());
        QVERIFY(!files.flushStaging());
        QCOMPARE(readAll(back), QByteArray("A,\x94\x84\x8F\xE3,\xB1\r\n"));
        QVERIFY(!files.writeStagingLine(QString()));
        files.writeLogLine(QStringLiteral("\"x\""));
        files.closeAll();
        files.closeAll();
        QCOMPARE(readAll(back), QByteArray("A,\x94\x84\x8F\xE3,\xB1\r\n\r\n"));
        QCOMPARE(readAll(log), QByteArray("\"x\"\r\n"));

        // A new cycle empties both.
        QVERIFY(!files.openStaging());
        QVERIFY(!files.openLog(log));
        files.closeAll();
        QCOMPARE(readAll(back), QByteArray());
        QCOMPARE(readAll(log), QByteArray());
    }

    void reportsErrors()
    {
        QTemporaryDir dir;
        const QString missing = dir.filePath(QStringLiteral("gone/LOG.TXT"));
        DiskRunFiles files(dir.filePath(QStringLiteral("gone/Back.txt")));
        const auto staging = files.openStaging();
        QVERIFY(staging);
        QCOMPARE(staging->number, MissingFolderError);
        QCOMPARE(staging->description, systemErrorText(MissingFolderError));
        const auto log = files.openLog(missing);
        QVERIFY(log);
        QCOMPARE(log->number, MissingFolderError);
        // Not open: a write must fail, not vanish.
        QVERIFY(files.writeStagingLine(QStringLiteral("x")));
        files.writeLogLine(QStringLiteral("x"));
        files.closeAll();
    }

#ifndef Q_OS_WIN // POSIX file-system faults (size limit, FIFOs, devices, permission bits)
    void reportsFullDisk()
    {
        QTemporaryDir dir;
        DiskRunFiles files(dir.filePath(QStringLiteral("Back.txt")));
        QVERIFY(!files.openStaging());
        std::optional<SystemError> error;
        {
            const FileSizeLimit limit(4);
            QVERIFY(limit.active());
            QVERIFY(!files.writeStagingLine(QStringLiteral("A,1")));
            error = files.flushStaging();
        }
        QVERIFY(error);
        QCOMPARE(error->number, EFBIG);
        QCOMPARE(error->description, QStringLiteral("File too large"));
        files.closeAll();
    }

    // A FIFO or device in place of either file would block the window in open(); it must be refused at once.
    void refusesFilesThatAreNotRegular()
    {
        QTemporaryDir dir;
        const QString back = dir.filePath(QStringLiteral("Back.txt"));
        const QString log = dir.filePath(QStringLiteral("LOG.TXT"));
        QCOMPARE(::mkfifo(QFile::encodeName(back).constData(), 0644), 0);
        QCOMPARE(::mkfifo(QFile::encodeName(log).constData(), 0644), 0);
        DiskRunFiles files(back);
        const auto staging = files.openStaging();
        QVERIFY(staging);
        QCOMPARE(staging->number, ENXIO);
        QVERIFY(files.openLog(log));
        QVERIFY(files.writeStagingLine(QStringLiteral("x")));

        // Held open for reading, a FIFO lets a writer in; the type test still refuses it.
        QFile reader;
        QVERIFY(reader.open(::open(QFile::encodeName(back).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC),
                            QIODevice::ReadOnly, QFileDevice::AutoCloseHandle));
        const auto heldOpen = files.openStaging();
        QVERIFY(heldOpen);
        QCOMPARE(heldOpen->number, EINVAL);
        QVERIFY(files.openLog(QStringLiteral("/dev/null")));
        QVERIFY(files.openLog(dir.path()));
        files.closeAll();
    }
#endif
};

QTEST_GUILESS_MAIN(TestDiskRunFiles)
#include "TestDiskRunFiles.moc"
