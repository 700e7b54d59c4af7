#include "ui/FileViewer.h"

#include "base/Platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

void OpenInTextEditor(const QString& path)
{
    if (!StartSystemTextEditor(path)) {
        QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
    }
}
