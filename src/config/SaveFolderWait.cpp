#include "config/SaveFolderWait.h"

SaveFolderWaitStep saveFolderWaitStep(bool folderFound, int checksMade, int waitChecks)
{
    if (folderFound) {
        return SaveFolderWaitStep::Start;
    }
    return checksMade < waitChecks ? SaveFolderWaitStep::CheckAgain : SaveFolderWaitStep::GiveUp;
}
