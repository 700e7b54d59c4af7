#include "base/SafeFile.h"

#include "fakes/FileFaults.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

enum class Fault
{
    None,
    DiskFull,
    Folder, // a folder where the file should be
};

} // namespace

Q_DECLARE_METATYPE(SafeFile::Mode)
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(std::optional<SafeFile::Step>)

class TestSafeFile : public QObject
{
    Q_OBJECT

private slots:
#ifndef Q_OS_WIN // a file-size limit stands in for a full disk
    // The step that failed decides the settings file's box; either way the file is as it was and nothing is left
    // beside it.
    void writeFile_data()
    {
        QTest::addColumn<SafeFile::Mode>("mode");
        QTest::addColumn<QByteArray>("existing"); // null: no file yet
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<std::optional<SafeFile::Step>>("failedStep");
        const QByteArray old("old\r\n");
        const auto replace = SafeFile::Mode::Replace;
        const auto append = SafeFile::Mode::Append;
        const std::optional<SafeFile::Step> written;
        const std::optional write(SafeFile::Step::Write);
        QTest::newRow("replace") << replace << old << Fault::None << written;
        QTest::newRow("append") << append << old << Fault::None << written;
        QTest::newRow("replace, disk full") << replace << old << Fault::DiskFull << write;
        QTest::newRow("append, disk full") << append << old << Fault::DiskFull << write;
        QTest::newRow("append to a missing file, disk full") << append << QByteArray() << Fault::DiskFull << write;
        QTest::newRow("a folder in its place")
            << replace << QByteArray() << Fault::Folder << std::optional(SafeFile::Step::Open);
    }
    void writeFile()
    {
        QFETCH(SafeFile::Mode, mode);
        QFETCH(QByteArray, existing);
        QFETCH(Fault, fault);
        QFETCH(std::optional<SafeFile::Step>, failedStep);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("a.ini"));
        if (fault == Fault::Folder) {
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("a.ini")));
        } else if (!existing.isNull()) {
            QVERIFY(!writeTestFile(dir.path(), QStringLiteral("a.ini"), existing).isEmpty());
        }
        const QByteArray bytes(4096, 'n');
        std::optional<SafeFile::WriteFailure> failure;
        {
            std::optional<FileSizeLimit> limit;
            if (fault == Fault::DiskFull) {
                limit.emplace(1024);
                QVERIFY(limit->active());
            }
            failure = SafeFile::writeFile(path, bytes, mode);
        }
        QCOMPARE(failure ? std::optional(failure->step) : std::nullopt, failedStep);
        if (fault == Fault::Folder) {
            QVERIFY(QFileInfo(path).isDir());
        } else if (failure) {
            QCOMPARE(readTestFile(path), existing.isNull() ? QByteArray("<missing>") : existing);
        } else {
            QCOMPARE(readTestFile(path), (mode == SafeFile::Mode::Append ? existing : QByteArray()) + bytes);
        }
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot);
        QCOMPARE(left,
                 existing.isNull() && fault == Fault::DiskFull ? QStringList() : QStringList{QStringLiteral("a.ini")});
    }
#endif
};

QTEST_GUILESS_MAIN(TestSafeFile)
#include "TestSafeFile.moc"
