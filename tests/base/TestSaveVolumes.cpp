#include "base/SaveVolumes.h"

#include <QTest>

class TestSaveVolumes : public QObject
{
    Q_OBJECT

private slots:
    void onlyVolumesAUserCanSaveTo_data()
    {
        QTest::addColumn<QByteArray>("type");
        QTest::addColumn<QString>("root");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<bool>("listed");
        QTest::newRow("system disk") << QByteArray("ext4") << QStringLiteral("/") << false << true;
        QTest::newRow("tmpfs /tmp") << QByteArray("tmpfs") << QStringLiteral("/tmp") << false << true;
        QTest::newRow("stick under /run/media")
            << QByteArray("vfat") << QStringLiteral("/run/media/u/STICK") << false << true;
        QTest::newRow("tmpfs beside /run") << QByteArray("tmpfs") << QStringLiteral("/runtime") << false << true;
        QTest::newRow("tmpfs /run/user") << QByteArray("tmpfs") << QStringLiteral("/run/user/1000") << false << false;
        QTest::newRow("tmpfs /dev/shm") << QByteArray("tmpfs") << QStringLiteral("/dev/shm") << false << false;
        QTest::newRow("proc") << QByteArray("proc") << QStringLiteral("/proc") << false << false;
        QTest::newRow("cgroup2") << QByteArray("cgroup2") << QStringLiteral("/sys/fs/cgroup/unified") << false << false;
        QTest::newRow("squashfs image") << QByteArray("squashfs") << QStringLiteral("/snap/core22/1380") << true
                                        << false;
    }
    void onlyVolumesAUserCanSaveTo()
    {
        QFETCH(QByteArray, type);
        QFETCH(QString, root);
        QFETCH(bool, readOnly);
        QFETCH(bool, listed);
        QCOMPARE(isSaveVolume(type, root, readOnly), listed);
    }
};

QTEST_GUILESS_MAIN(TestSaveVolumes)
#include "TestSaveVolumes.moc"
