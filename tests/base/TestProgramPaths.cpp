// Where the program keeps its files, by the kind of install: the per-machine install and a program folder on a
// network keep to the user's own folder, whatever may be written beside the program; what a first start there takes.

#include "base/ProgramPaths.h"

#include "fakes/TestFiles.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

class TestProgramPaths : public QObject
{
    Q_OBJECT

private slots:
    void dataFolderByKindOfInstall_data()
    {
        QTest::addColumn<bool>("machine");
        QTest::addColumn<bool>("network");
        QTest::addColumn<bool>("writable");
        QTest::addColumn<bool>("userFolder");
        QTest::addColumn<bool>("networkNote");
        QTest::newRow("zip, per-user install") << false << false << true << false << false;
        QTest::newRow("Program Files, a standard user") << false << false << false << true << false;
        QTest::newRow("per-machine, an administrator") << true << false << true << true << false;
        QTest::newRow("zip on a share everyone writes") << false << true << true << true << true;
    }
    void dataFolderByKindOfInstall()
    {
        QFETCH(bool, machine);
        QFETCH(bool, network);
        QFETCH(bool, writable);
        const DataFolderChoice choice = chooseDataFolder({machine, network, writable});
        QTEST(choice.userFolder, "userFolder");
        QTEST(choice.networkNote, "networkNote");
    }

    void aMarkedInstallKeepsToTheUsersFolderAndFindsEarlierSettings()
    {
        QTemporaryDir dir;
        const QDir top(dir.path());
        QVERIFY(top.mkpath(QStringLiteral("program")) && top.mkpath(QStringLiteral("user")) &&
                top.mkpath(QStringLiteral("peruser/profiles/1F")) && top.mkpath(QStringLiteral("startup")));
        const QDir program(top.filePath(QStringLiteral("program")));
        QDir perUser(top.filePath(QStringLiteral("peruser")));
        const auto native = [&top](const QString& path) { return QDir::toNativeSeparators(top.filePath(path)); };
        const QString exe = writeTestFile(program, QStringLiteral("zelbo_udp.exe"), "exe");
        QVERIFY(!writeTestFile(program, QStringLiteral("zelbo_udp.machine"), "").isEmpty());
        // What an earlier version wrote into the writable program folder; a per-user install without settings yet.
        QVERIFY(!writeTestFile(program, QStringLiteral("zelbo_udp.ini"), "old").isEmpty());
        QVERIFY(!writeTestFile(perUser, QStringLiteral("zelbo_udp.exe"), "exe").isEmpty());
        const ProgramPaths::Surroundings user{native(QStringLiteral("user")), perUser.path(),
                                              native(QStringLiteral("startup"))};
        const QStringList programFiles = program.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        ProgramPaths paths = ProgramPaths::forExecutable(exe, QString(), user);
        QCOMPARE(paths.IniPath, native(QStringLiteral("user/zelbo_udp.ini")));
        QCOMPARE(paths.perUserInstall, native(QStringLiteral("peruser")));
        QCOMPARE(paths.earlierSettingsPath, native(QStringLiteral("program/zelbo_udp.ini")));

        // The per-user install's settings come first, also once it is uninstalled; a profile looks in its own folder.
        QVERIFY(!writeTestFile(QDir(user.startup), QStringLiteral("ZELBO_UDP.lnk"), "lnk").isEmpty());
        QVERIFY(!writeTestFile(perUser, QStringLiteral("zelbo_udp.ini"), "mine").isEmpty());
        QVERIFY(!writeTestFile(perUser, QStringLiteral("profiles/1F/zelbo_udp.ini"), "1F").isEmpty());
        paths = ProgramPaths::forExecutable(exe, QString(), user);
        QCOMPARE(paths.earlierSettingsPath, native(QStringLiteral("peruser/zelbo_udp.ini")));
        QCOMPARE(paths.perUserStartup, native(QStringLiteral("startup/ZELBO_UDP.lnk")));
        QVERIFY(perUser.remove(QStringLiteral("zelbo_udp.exe")));
        paths = ProgramPaths::forExecutable(exe, QStringLiteral("1F"), user);
        QCOMPARE(paths.dataFolder, native(QStringLiteral("user/profiles/1F")));
        QCOMPARE(paths.earlierSettingsPath, native(QStringLiteral("peruser/profiles/1F/zelbo_udp.ini")));
        QVERIFY(paths.perUserInstall.isEmpty() && paths.perUserStartup.isEmpty());
        QCOMPARE(program.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), programFiles);
    }

    // A zip unpacked on a share every PC may write: the data folder is the user's, said once, and the settings a
    // start left beside the program are taken; no probe file is made on the share. The same folder when local is the
    // portable zip's own.
    void aProgramFolderOnANetworkKeepsToTheUsersFolder()
    {
        QTemporaryDir dir;
        const QDir top(dir.path());
        QVERIFY(top.mkpath(QStringLiteral("share")) && top.mkpath(QStringLiteral("user")));
        const QDir share(top.filePath(QStringLiteral("share")));
        const auto native = [&top](const QString& path) { return QDir::toNativeSeparators(top.filePath(path)); };
        const QString exe = writeTestFile(share, QStringLiteral("zelbo_udp.exe"), "exe");
        QVERIFY(!writeTestFile(share, QStringLiteral("zelbo_udp.ini"), "old").isEmpty());
        const QStringList shareFiles = share.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
        ProgramPaths::Surroundings user{native(QStringLiteral("user")), {}, {}};
        user.isNetwork = [](const QString& path) { return path.endsWith(QStringLiteral("/share")); };
        ProgramPaths paths = ProgramPaths::forExecutable(exe, QStringLiteral("1F"), user);
        QCOMPARE(paths.dataFolder, native(QStringLiteral("user/profiles/1F")));
        QVERIFY(paths.programFolderOnNetwork);
        QVERIFY(paths.earlierSettingsPath.isEmpty());
        paths = ProgramPaths::forExecutable(exe, QString(), user);
        QCOMPARE(paths.IniPath, native(QStringLiteral("user/zelbo_udp.ini")));
        QCOMPARE(paths.earlierSettingsPath, native(QStringLiteral("share/zelbo_udp.ini")));
        QCOMPARE(share.entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), shareFiles);

        user.isNetwork = nullptr;
        paths = ProgramPaths::forExecutable(exe, QString(), user);
        QCOMPARE(paths.IniPath, native(QStringLiteral("share/zelbo_udp.ini")));
        QVERIFY(!paths.programFolderOnNetwork && paths.earlierSettingsPath.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestProgramPaths)
#include "TestProgramPaths.moc"
