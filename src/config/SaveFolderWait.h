#pragma once
// How long the automatic start waits for a save folder that is missing at start (AutoStart 1): a mapped drive may
// come back late at logon. Pure: the main window checks the folder and keeps the time. Qt Core only.

#include <chrono>

inline constexpr std::chrono::milliseconds SaveFolderCheckInterval{1000};
// Checks after the first one, SaveFolderCheckInterval apart: half a minute in all.
inline constexpr int SaveFolderWaitChecks = 30;

enum class SaveFolderWaitStep
{
    Start,      // the folder is there: clear the waiting line and start
    CheckAgain, // look again after SaveFolderCheckInterval
    GiveUp,     // say the folder is missing and start all the same: each cycle answers "CAN" until it is back
};

// The step after a check that found the folder or not, checksMade of waitChecks repeated checks made before it.
SaveFolderWaitStep saveFolderWaitStep(bool folderFound, int checksMade, int waitChecks = SaveFolderWaitChecks);
