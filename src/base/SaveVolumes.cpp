#include "base/SaveVolumes.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>
#include <array>

namespace {

bool isUnder(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

} // namespace

bool IsSaveVolume(const QByteArray& fileSystemType, const QString& rootPath, bool readOnly)
{
    static constexpr std::array<const char*, 21> systemTypes = {
        "proc",       "sysfs",  "cgroup",      "cgroup2",  "devtmpfs",   "devpts",   "mqueue",
        "securityfs", "pstore", "bpf",         "tracefs",  "debugfs",    "configfs", "fusectl",
        "hugetlbfs",  "autofs", "binfmt_misc", "efivarfs", "rpc_pipefs", "nsfs",     "selinuxfs"};
    if (readOnly) {
        return false;
    }
    for (const char* type : systemTypes) {
        if (fileSystemType == type) {
            return false;
        }
    }
    if (fileSystemType == "tmpfs") {
        for (const char* folder : {"/run", "/dev", "/sys"}) {
            if (isUnder(rootPath, QString::fromLatin1(folder))) {
                return false;
            }
        }
    }
    return true;
}

QStringList SaveVolumeRoots()
{
    QStringList roots;
#ifdef Q_OS_WIN
    for (const QFileInfo& drive : QDir::drives()) {
        roots << drive.absoluteFilePath();
    }
#else
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Mounted files (bind mounts of single files) are not drives.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            IsSaveVolume(volume.fileSystemType(), volume.rootPath(), volume.isReadOnly())) {
            roots << volume.rootPath();
        }
    }
#endif
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    return roots;
}
