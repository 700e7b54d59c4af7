#include "base/Platform.h"

#include "base/FolderHelpers.h"
#include "base/SaveVolumes.h"
#include "base/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

SystemError SystemError::fromErrno(int number)
{
    return {number, qt_error_string(number)};
}

SystemError SystemError::fromSystemCode(int code)
{
    return fromErrno(code);
}

std::optional<SystemError> checkFolder(const QString& folder)
{
    // Opening the folder is the test: it gives the platform's own error number and text for an unreadable place.
    DIR* handle = ::opendir(QFile::encodeName(folder).constData());
    if (handle == nullptr) {
        const int code = errno;
        return SystemError::fromSystemCode(code);
    }
    ::closedir(handle);
    return std::nullopt;
}

bool setCurrentFolder(const QString& folder)
{
    return QDir::setCurrent(folder);
}

EditorStart startSystemTextEditor(const QString&)
{
    return EditorStart::NoSystemEditor;
}

QStringList systemVolumeRoots()
{
    QStringList roots;
    for (const QStorageInfo& volume : QStorageInfo::mountedVolumes()) {
        // Mounted files (bind mounts of single files) are not drives.
        if (volume.isValid() && volume.isReady() && QFileInfo(volume.rootPath()).isDir() &&
            isSaveVolume(volume.fileSystemType(), volume.rootPath(), volume.isReadOnly())) {
            roots << volume.rootPath();
        }
    }
    return roots;
}

bool preciseTimersRaiseTimerResolution()
{
    return false;
}

bool systemIsVersion6OrLater()
{
    return !GetSpecialFolderPath(PersonalFolderId).isEmpty();
}

bool commitDataMeansSessionEnd()
{
    return false;
}

namespace {

// The lock file opened for the hold, made if need be; -1 with hold's result and error when it cannot be.
int openLockFile(const QByteArray& name, LockFileHold& hold)
{
    const int descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
    if (descriptor >= 0) {
        return descriptor;
    }
    const int code = errno;
    hold.error = SystemError::fromSystemCode(code);
    if (code != EACCES && code != EPERM && code != EROFS) {
        hold.result = LockFileHold::Result::Failed;
        return -1;
    }
    // Another user's lock file, or one on a read-only volume: flock holds on a descriptor opened for reading too.
    const int reading = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (reading >= 0) {
        return reading;
    }
    const int readCode = errno;
    hold.result = readCode == ENOENT ? LockFileHold::Result::CannotCreate : LockFileHold::Result::HeldElsewhere;
    return -1;
}

} // namespace

LockFileHold holdLockFile(const QString& path)
{
    LockFileHold hold;
    const QByteArray name = QFile::encodeName(path);
    // A holder that removes the file as it lets go leaves this descriptor on a file nobody else can find: the hold
    // counts only on the file the path still names.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int descriptor = openLockFile(name, hold);
        if (descriptor < 0) {
            return hold;
        }
        if (::flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
            const int code = errno;
            ::close(descriptor);
            hold.result = code == EWOULDBLOCK ? LockFileHold::Result::HeldElsewhere : LockFileHold::Result::Failed;
            hold.error = SystemError::fromSystemCode(code);
            return hold;
        }
        struct stat held = {};
        struct stat named = {};
        if (::fstat(descriptor, &held) == 0 && ::stat(name.constData(), &named) == 0 && held.st_dev == named.st_dev &&
            held.st_ino == named.st_ino) {
            hold.result = LockFileHold::Result::Taken;
            hold.handle = descriptor;
            hold.error.reset();
            return hold;
        }
        ::close(descriptor);
    }
    hold.result = LockFileHold::Result::HeldElsewhere;
    hold.error = SystemError::fromSystemCode(EWOULDBLOCK);
    return hold;
}

void releaseLockFile(qintptr handle, const QString& path, bool remove)
{
    if (handle < 0) {
        return;
    }
    // Removed while still held, so that nobody takes the file that is about to go.
    if (remove) {
        ::unlink(QFile::encodeName(path).constData());
    }
    ::close(static_cast<int>(handle));
}

bool isNetworkPath(const QString& path)
{
    struct statfs volume = {};
    const QFileInfo info(path);
    if (::statfs(QFile::encodeName(path).constData(), &volume) != 0 &&
        ::statfs(QFile::encodeName(info.absolutePath()).constData(), &volume) != 0) {
        return false;
    }
    // The kernel's magic numbers of NFS, SMB, CIFS and SMB2/3 mounts.
    constexpr unsigned long Nfs = 0x6969;
    constexpr unsigned long Smb = 0x517b;
    constexpr unsigned long Cifs = 0xff534d42;
    constexpr unsigned long Smb2 = 0xfe534d42;
    const auto type = static_cast<unsigned long>(volume.f_type);
    return type == Nfs || type == Smb || type == Cifs || type == Smb2;
}

void allowOtherProcessToTakeForeground() {}

void registerForRestart(const QStringList&) {}

bool isSessionEndCancelled(const QByteArray&, const void*)
{
    return false;
}

QString userDataFolder()
{
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation));
}

StoredCredential readCredential(const QString&)
{
    return {StoredCredential::Outcome::Unavailable, {}, {}};
}

StoredCredential writeCredential(const QString&, const QString&, const QByteArray&)
{
    return {StoredCredential::Outcome::Unavailable, {}, {}};
}

QString userName()
{
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name) {
        return QString::fromLocal8Bit(entry->pw_name);
    }
    return qEnvironmentVariable("USER");
}

void attachParentConsole() {}

QByteArray consoleBytes(const QString& text)
{
    return text.toUtf8();
}

bool writeStandardOutput(QByteArrayView bytes)
{
    const bool written = std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), stdout) == std::size_t(bytes.size());
    return std::fflush(stdout) == 0 && written;
}
