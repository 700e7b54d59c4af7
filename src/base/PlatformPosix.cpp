#include "base/Platform.h"

#include "base/FolderHelpers.h"
#include "base/NameValueFile.h"
#include "base/SaveVolumes.h"
#include "base/SystemError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
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

void ignoreUdpPortUnreachable(qintptr) {}

int lastSocketErrorCode()
{
    return errno;
}

bool isTransientNetworkError(int code)
{
    return code == ENETUNREACH || code == EHOSTUNREACH || code == ENETDOWN || code == ENOBUFS;
}

bool isNothingToReadError(int code)
{
    return code == EAGAIN || code == EWOULDBLOCK;
}

void keepSystemAwake(bool) {}

bool commitDataMeansSessionEnd()
{
    return false;
}

LockFileHold holdLockFile(const QString& path)
{
    LockFileHold hold;
    const QByteArray name = QFile::encodeName(path);
    // A holder that removes the file as it lets go leaves this descriptor on a file nobody else can find: the hold
    // counts only on the file the path still names.
    for (int attempt = 0; attempt < 3; ++attempt) {
        const int descriptor = ::open(name.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (descriptor < 0) {
            hold.error = SystemError::fromSystemCode(errno);
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

PolicyReading readPolicyValues(const QString& posixPolicyFile)
{
    const QFileInfo info(posixPolicyFile);
    if (!info.exists()) {
        return {};
    }
    QFile file(posixPolicyFile);
    // Only a regular file: opening a FIFO would wait for a writer.
    if (!info.isFile()) {
        return {{}, posixPolicyFile + QStringLiteral(" : ") + SystemError::fromErrno(EINVAL).description};
    }
    if (!file.open(QIODevice::ReadOnly)) {
        return {{}, posixPolicyFile + QStringLiteral(" : ") + file.errorString()};
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return {{}, posixPolicyFile + QStringLiteral(" : ") + file.errorString()};
    }
    return {readNameValueFile(bytes), {}};
}

QString systemPolicyFile()
{
    return QStringLiteral("/etc/zelbo_udp/policy.ini");
}
