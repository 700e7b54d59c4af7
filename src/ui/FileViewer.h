#pragma once
// Opens a file in the platform's text editor without waiting for it: notepad on Windows, the desktop's default
// application for text elsewhere.

#include <QString>

// False when the editor could not be started.
bool openInTextEditor(const QString& path);
