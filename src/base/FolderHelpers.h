#pragma once
// Folder helpers shared by start-up and the dialogs.

#include <QString>

#include <cstdint>

// The special folder id of the user's documents folder.
constexpr std::int32_t PersonalFolderId = 5;

// The special folder's path with native separators; "" when the platform has none or the id is unknown.
QString GetSpecialFolderPath(std::int32_t folderId);
