#include "ui/FileViewer.h"

#include <QDir>

#ifdef Q_OS_WIN
#include <QProcess>
#else
#include <QDesktopServices>
#include <QUrl>
#endif

void OpenInTextEditor(const QString& path)
{
#ifdef Q_OS_WIN
    // Started detached and not checked, as the user may close the editor at any time.
    QProcess::startDetached(QStringLiteral("notepad.exe"), {QDir::toNativeSeparators(path)});
#else
    QDesktopServices::openUrl(QUrl::fromLocalFile(QDir::fromNativeSeparators(path)));
#endif
}
