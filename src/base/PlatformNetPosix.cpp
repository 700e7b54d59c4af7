#include "base/Platform.h"

#include <QFile>

#include <cerrno>
#include <vector>

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

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

namespace {

struct UdpSocketEntry
{
    quint64 inode = 0;
    uint uid = 0;
};

// The sockets bound to local port in one of the kernel's UDP tables (/proc/net/udp, /proc/net/udp6): after a
// heading, one line per socket with the local address as hex address:port, the owner's uid in the 8th field and the
// socket's inode in the 10th.
void findUdpSockets(const QString& tablePath, quint16 port, std::vector<UdpSocketEntry>& found)
{
    QFile table(tablePath);
    if (!table.open(QIODevice::ReadOnly)) {
        return;
    }
    const QList<QByteArray> lines = table.readAll().split('\n');
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].simplified().split(' ');
        if (fields.size() < 10) {
            continue;
        }
        const QByteArray& local = fields[1];
        bool portOk = false;
        bool uidOk = false;
        bool inodeOk = false;
        const uint localPort = local.mid(local.lastIndexOf(':') + 1).toUInt(&portOk, 16);
        const UdpSocketEntry entry{fields[9].toULongLong(&inodeOk), fields[7].toUInt(&uidOk)};
        if (portOk && uidOk && inodeOk && localPort == port && entry.inode != 0) {
            found.push_back(entry);
        }
    }
}

// The process with a descriptor on the socket, among those whose descriptors this user may read; 0 when none.
qint64 socketOwnerPid(quint64 inode)
{
    const QByteArray wanted = "socket:[" + QByteArray::number(inode) + ']';
    DIR* processes = ::opendir("/proc");
    if (processes == nullptr) {
        return 0;
    }
    qint64 found = 0;
    while (found == 0) {
        const dirent* process = ::readdir(processes);
        if (process == nullptr) {
            break;
        }
        bool isPid = false;
        const qint64 pid = QByteArray(process->d_name).toLongLong(&isPid);
        const QByteArray fdFolder = "/proc/" + QByteArray(process->d_name) + "/fd/";
        DIR* descriptors = isPid ? ::opendir(fdFolder.constData()) : nullptr;
        if (descriptors == nullptr) {
            continue;
        }
        while (const dirent* descriptor = ::readdir(descriptors)) {
            char target[64];
            const QByteArray link = fdFolder + descriptor->d_name;
            const ssize_t length = ::readlink(link.constData(), target, sizeof target);
            if (length == wanted.size() && std::memcmp(target, wanted.constData(), size_t(length)) == 0) {
                found = pid;
                break;
            }
        }
        ::closedir(descriptors);
    }
    ::closedir(processes);
    return found;
}

QString userName(uint uid)
{
    std::vector<char> buffer(16384);
    passwd entry = {};
    passwd* result = nullptr;
    if (::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &result) != 0 || result == nullptr) {
        return QString::number(uid);
    }
    return QString::fromLocal8Bit(result->pw_name);
}

} // namespace

std::optional<PortHolder> udpPortHolder(quint16 port)
{
    std::vector<UdpSocketEntry> sockets;
    findUdpSockets(QStringLiteral("/proc/net/udp"), port, sockets);
    findUdpSockets(QStringLiteral("/proc/net/udp6"), port, sockets);
    if (sockets.empty()) {
        return std::nullopt;
    }
    PortHolder holder;
    holder.user = userName(sockets.front().uid);
    for (const UdpSocketEntry& socket : sockets) {
        if (const qint64 pid = socketOwnerPid(socket.inode)) {
            holder.pid = pid;
            holder.user = userName(socket.uid);
            QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
            if (comm.open(QIODevice::ReadOnly)) {
                holder.process = QString::fromLocal8Bit(comm.readAll().trimmed());
            }
            break;
        }
    }
    return holder;
}

bool accessRefusalMeansPortHeld(quint16)
{
    return false;
}

void keepSystemAwake(bool) {}
