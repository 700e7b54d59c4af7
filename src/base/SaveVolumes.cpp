#include "base/SaveVolumes.h"

#include "base/Platform.h"

#include <algorithm>
#include <array>

namespace {

bool isUnder(const QString& path, const QString& folder)
{
    return path == folder || path.startsWith(folder + u'/');
}

} // namespace

bool isSaveVolume(const QByteArray& fileSystemType, const QString& rootPath, bool readOnly)
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

QStringList saveVolumeRoots()
{
    QStringList roots = systemVolumeRoots();
    roots.removeDuplicates();
    std::sort(roots.begin(), roots.end());
    return roots;
}
