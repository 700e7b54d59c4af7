#include "ui/FileViewer.h"

#include "base/Platform.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

bool openInTextEditor(const QString& path)
{
    switch (startSystemTextEditor(path)) {
    case EditorStart::Started:
        return true;
    case EditorStart::Failed:
        return false;
    case EditorStart::NoSystemEditor:
        break;
    }
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
}
