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

UploadFileHold::Taken UploadFileHold::take(const QString& uploadPath, std::chrono::milliseconds patience)
{
    release();
    const QString path = lockPath(uploadPath);
    const QDeadlineTimer deadline(patience);
    for (;;) {
        const LockFileHold hold = holdLockFile(path);
        const SystemError error = hold.error.value_or(SystemError{});
        switch (hold.result) {
        case LockFileHold::Result::Taken:
            m_lockPath = path;
            m_handle = hold.handle;
            return {Outcome::Held, {}};
        case LockFileHold::Result::CannotCreate:
            return {Outcome::Unheld, error};
        case LockFileHold::Result::HeldElsewhere:
            if (deadline.hasExpired()) {
                return {Outcome::HeldElsewhere, error};
            }
            break;
        case LockFileHold::Result::Failed:
        default:
            return {Outcome::Failed, error};
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
