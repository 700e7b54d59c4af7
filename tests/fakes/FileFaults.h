#pragma once
// Real file-system faults for tests, undone when they go out of scope: a file-size limit that makes writes fail as on
// a full disk, and a folder in which no file can be created, for an ordinary user and for root alike.

#include <QFile>
#include <QtGlobal>
#include <QString>

#ifndef Q_OS_WIN
#include <csignal>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#ifdef __linux__
#include <linux/fs.h>
#endif

// Writes past `bytes` fail with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limited{};
        m_active = getrlimit(RLIMIT_FSIZE, &m_saved) == 0;
        limited = m_saved;
        limited.rlim_cur = bytes;
        m_active = m_active && setrlimit(RLIMIT_FSIZE, &limited) == 0;
    }
    ~FileSizeLimit()
    {
        if (m_active) {
            setrlimit(RLIMIT_FSIZE, &m_saved);
        }
        std::signal(SIGXFSZ, m_oldHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return m_active; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_active = false;
};

// Permission bits do not stop root; the immutable attribute does, and still lets the files inside be written.
class LockedFolder
{
public:
    explicit LockedFolder(const QString& path) : m_path(QFile::encodeName(path))
    {
        if (geteuid() != 0) {
            m_locked = ::chmod(m_path.constData(), 0555) == 0;
            return;
        }
#ifdef __linux__
        const int fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            m_locked = ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
            m_immutable = m_locked;
        }
        if (fd >= 0) {
            ::close(fd);
        }
#endif
    }
    ~LockedFolder()
    {
        if (!m_locked) {
            return;
        }
        if (!m_immutable) {
            ::chmod(m_path.constData(), 0755);
            return;
        }
#ifdef __linux__
        const int fd = ::open(m_path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        int flags = 0;
        if (fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags &= ~FS_IMMUTABLE_FL;
            ::ioctl(fd, FS_IOC_SETFLAGS, &flags);
        }
        if (fd >= 0) {
            ::close(fd);
        }
#endif
    }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    // False where neither way is available (root on a file system without the attribute): skip the case then.
    bool locked() const
    {
        return m_locked;
    }

private:
    QByteArray m_path;
    bool m_locked = false;
    bool m_immutable = false;
};
#endif
