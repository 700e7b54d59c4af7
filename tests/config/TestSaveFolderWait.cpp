#include "config/SaveFolderWait.h"

#include <QTest>

class TestSaveFolderWait : public QObject
{
    Q_OBJECT

private slots:
    // Whether a check found the folder, the checks made before it, and the step that follows.
    void stepAfterACheck()
    {
        const int all = SaveFolderWaitChecks;
        QCOMPARE(saveFolderWaitStep(false, 0), SaveFolderWaitStep::CheckAgain);
        QCOMPARE(saveFolderWaitStep(false, all - 1), SaveFolderWaitStep::CheckAgain);
        QCOMPARE(saveFolderWaitStep(false, all), SaveFolderWaitStep::GiveUp);
        QCOMPARE(saveFolderWaitStep(true, all), SaveFolderWaitStep::Start);
    }
};

QTEST_GUILESS_MAIN(TestSaveFolderWait)
#include "TestSaveFolderWait.moc"
