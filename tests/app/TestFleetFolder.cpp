// The folder --fleet-report and --fleet read without one given: the copy's own STATUSFOLDER, a policy's over it.

#include "FleetCommand.h"

#include "base/ProgramPaths.h"
#include "fakes/TestFiles.h"

#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

class TestFleetFolder : public QObject
{
    Q_OBJECT

private slots:
    void policyFolderWins()
    {
        const QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const ProgramPaths paths = testProgramPaths(dir.path());
        QVERIFY(!writeTestFile(QDir(dir.path()), QFileInfo(paths.extraPath).fileName(), "STATUSFOLDER=/mine\r\n")
                     .isEmpty());
        QCOMPARE(configuredStatusFolder(paths, {}), QStringLiteral("/mine"));
        const PolicyValues policies = {{QStringLiteral("STATUSFOLDER"), QStringLiteral("/it")}};
        QCOMPARE(configuredStatusFolder(paths, policies), QStringLiteral("/it"));
    }
};

QTEST_GUILESS_MAIN(TestFleetFolder)
#include "TestFleetFolder.moc"
