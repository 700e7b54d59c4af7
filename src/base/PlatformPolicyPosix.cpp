#include "base/Platform.h"

#include "base/NameValueFile.h"
#include "base/SystemError.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>

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
