#include "SingleCopy.h"

#include "base/Platform.h"
#include "protocol/RunTexts.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QLocalSocket>
#include <QTimer>

namespace {

constexpr int RetryPauseMs = 100;
const QByteArray ShowRequest = QByteArrayLiteral("show\n");
const QByteArray ShowAnswer = QByteArrayLiteral("shown\n");

// The same for every start of the folder, whatever spelling it was started by; Windows compares paths without case.
QString serverNameFor(const QString& dataFolder)
{
    const QString folder = QDir::cleanPath(QFileInfo(dataFolder).absoluteFilePath()).toLower();
    const QByteArray hash = QCryptographicHash::hash(folder.toUtf8(), QCryptographicHash::Sha256).toHex().left(24);
    return QStringLiteral("zelbo_udp-") + QString::fromLatin1(hash);
}

QString lockFilePath(const QString& dataFolder)
{
    return QDir(dataFolder).filePath(QString::fromLatin1(SingleCopy::LockFileName));
}

} // namespace

SingleCopy::SingleCopy(const QString& dataFolder) : m_dataFolder(dataFolder), m_serverName(serverNameFor(dataFolder)) {}

SingleCopy::~SingleCopy()
{
    m_server.close();
    // Kept on POSIX: removing it would open a moment in which two starts hold different files.
    releaseLockFile(m_lock, QString(), false);
}

SingleCopy::Claim SingleCopy::claim(std::chrono::milliseconds answerWait)
{
    const LockFileHold hold = holdLockFile(lockFilePath(m_dataFolder));
    switch (hold.result) {
    case LockFileHold::Result::Taken:
        m_lock = hold.handle;
        listen();
        return Claim::First;
    // Also a lock file that refuses access (another user's, or one Windows is still removing): never run beside it.
    case LockFileHold::Result::HeldElsewhere:
        allowOtherProcessToTakeForeground();
        return askFirstCopy(answerWait) ? Claim::HandedOver : Claim::NoAnswer;
    case LockFileHold::Result::CannotCreate:
    case LockFileHold::Result::Failed:
    default:
        m_lockError = hold.error.value_or(SystemError{});
        return Claim::Unlocked;
    }
}

QString SingleCopy::unlockedNote() const
{
    return QStringLiteral("ﾛｯｸﾌｧｲﾙを作成できないため二重起動を防げません : ") +
           QDir::toNativeSeparators(lockFilePath(m_dataFolder)) + fileErrorNumberText(m_lockError);
}

bool SingleCopy::askFirstCopy(std::chrono::milliseconds answerWait) const
{
    // The first copy may still be starting: it holds the lock before it listens.
    const QDeadlineTimer deadline(answerWait);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(m_serverName);
        if (!socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            QEventLoop pause;
            QTimer::singleShot(RetryPauseMs, &pause, &QEventLoop::quit);
            pause.exec();
            continue;
        }
        socket.write(ShowRequest);
        if (!socket.waitForBytesWritten(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            continue;
        }
        QByteArray reply;
        while (!reply.endsWith('\n') && socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            reply += socket.readAll();
        }
        return reply == ShowAnswer;
    }
    return false;
}

void SingleCopy::listen()
{
    // The lock is ours, so a name left behind by a killed copy is nobody's.
    QLocalServer::removeServer(m_serverName);
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server.listen(m_serverName)) {
        return;
    }
    QObject::connect(&m_server, &QLocalServer::newConnection, &m_server, [this] { answer(); });
}

void SingleCopy::answer()
{
    while (QLocalSocket* socket = m_server.nextPendingConnection()) {
        QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            if (!socket->canReadLine()) {
                return;
            }
            if (socket->readLine() == ShowRequest && m_showRequested) {
                m_showRequested();
            }
            socket->write(ShowAnswer);
            socket->disconnectFromServer();
        });
    }
}
