#pragma once
// Folder helpers shared by start-up and the dialogs.

#include <QString>

#include <cstdint>

// Special folder 5 is the user's documents folder; "" when the platform has none or the id is unknown.
QString GetSpecialFolderPath(std::int32_t owner, std::int32_t folderId);
