#include "base/LongPath.h"

#include <QTest>

class TestLongPath : public QObject
{
    Q_OBJECT

private slots:
    void win32LongPath_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("expected");
        QTest::newRow("drive") << QStringLiteral("C:\\保存\\受信.txt") << QStringLiteral("\\\\?\\C:\\保存\\受信.txt");
        QTest::newRow("drive root") << QStringLiteral("d:/") << QStringLiteral("\\\\?\\d:\\");
        // The prefix turns off the system's clean-up, so ".", ".." and doubled separators go first; ".." stops at
        // the drive or share.
        QTest::newRow("drive, cleaned") << QStringLiteral("C:/a/./b//../c/") << QStringLiteral("\\\\?\\C:\\a\\c");
        QTest::newRow("drive, above root") << QStringLiteral("C:\\..\\..x") << QStringLiteral("\\\\?\\C:\\..x");
        QTest::newRow("UNC") << QStringLiteral("\\\\server\\share\\dir\\..\\f.txt")
                             << QStringLiteral("\\\\?\\UNC\\server\\share\\f.txt");
        QTest::newRow("UNC, '/' and share only")
            << QStringLiteral("//server/share/") << QStringLiteral("\\\\?\\UNC\\server\\share");
        QTest::newRow("already long") << QStringLiteral("\\\\?\\C:\\a\\..\\b") << QStringLiteral("\\\\?\\C:\\a\\..\\b");
        QTest::newRow("device") << QStringLiteral("\\\\.\\CON") << QStringLiteral("\\\\.\\CON");
        QTest::newRow("relative") << QStringLiteral("save/UP.txt") << QStringLiteral("save/UP.txt");
        QTest::newRow("drive-relative") << QStringLiteral("C:UP.txt") << QStringLiteral("C:UP.txt");
        QTest::newRow("rooted, no drive") << QStringLiteral("\\UP.txt") << QStringLiteral("\\UP.txt");
        QTest::newRow("server without share") << QStringLiteral("\\\\server\\") << QStringLiteral("\\\\server\\");
        QTest::newRow("empty") << QString() << QString();
    }
    void win32LongPath()
    {
        QFETCH(QString, path);
        QFETCH(QString, expected);
        QCOMPARE(::win32LongPath(path), expected);
    }
};

QTEST_GUILESS_MAIN(TestLongPath)
#include "TestLongPath.moc"
