#include "output/UploadFileHold.h"

#include "base/Platform.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QThread>

UploadFileHold::~UploadFileHold()
{
    release();
}

std::optional<SystemError> UploadFileHold::take(const QString& uploadPath, std::chrono::milliseconds patience)
{
    release();
    const QString path = lockPath(uploadPath);
    const QDeadlineTimer deadline(patience);
    for (;;) {
        const LockFileHold hold = holdLockFile(path);
        if (hold.result == LockFileHold::Result::Taken) {
            m_lockPath = path;
            m_handle = hold.handle;
            return std::nullopt;
        }
        if (hold.result != LockFileHold::Result::HeldElsewhere || deadline.hasExpired()) {
            return hold.error.value_or(SystemError{});
        }
        // Another copy's cycle ends within a moment; a short pause, as for a file another program holds open.
        QThread::msleep(50);
    }
}

void UploadFileHold::release()
{
    if (m_handle != -1) {
        releaseLockFile(m_handle, m_lockPath, true);
        m_handle = -1;
    }
}

QString UploadFileHold::lockPath(const QString& uploadPath)
{
    const QFileInfo info(uploadPath);
    return info.dir().filePath(u'.' + info.fileName() + QStringLiteral(".lock"));
}
