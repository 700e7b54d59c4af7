#pragma once
// The volumes the folder picker offers as drives: those a user can save to, not the operating system's pseudo
// and system mounts.

#include <QByteArray>
#include <QString>
#include <QStringList>

// Root paths ('/' separators), sorted. On Windows every drive letter, ready or not: picking one without a medium
// is reported when it is picked.
QStringList saveVolumeRoots();

// False for kernel and system file systems, for the tmpfs mounts of /run, /dev and /sys and for read-only volumes
// (squashfs images among them).
bool isSaveVolume(const QByteArray& fileSystemType, const QString& rootPath, bool readOnly);
