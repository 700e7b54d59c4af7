#include "base/Platform.h"

#include <QFileInfo>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>

#include <mswsock.h>
#include <windows.h>

#include <iphlpapi.h>
#include <tlhelp32.h>

#include <string>
#include <vector>

#ifndef SIO_UDP_NETRESET
#define SIO_UDP_NETRESET _WSAIOW(IOC_VENDOR, 15)
#endif

void ignoreUdpPortUnreachable(qintptr socket)
{
    // Qt turns SIO_UDP_CONNRESET on for every UDP socket it creates; a failure here leaves it on, which the link
    // copes with as well.
    for (const DWORD option : {DWORD(SIO_UDP_CONNRESET), DWORD(SIO_UDP_NETRESET)}) {
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(SOCKET(socket), option, &report, sizeof(report), nullptr, 0, &returned, nullptr, nullptr);
    }
}

int lastSocketErrorCode()
{
    return WSAGetLastError();
}

bool isTransientNetworkError(int code)
{
    return code == WSAENETUNREACH || code == WSAEHOSTUNREACH || code == WSAENETDOWN || code == WSAENOBUFS;
}

bool isNothingToReadError(int code)
{
    return code == WSAEWOULDBLOCK;
}

namespace {

// The process owning a socket on local UDP port in the system's table for one address family (Table and its rows as
// GetExtendedUdpTable gives them for UDP_TABLE_OWNER_PID). The table may grow between the size probe and the read.
template <typename Table> std::optional<DWORD> udpPortOwner(ULONG family, quint16 port)
{
    std::vector<unsigned char> buffer(sizeof(Table));
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD size = DWORD(buffer.size());
        const DWORD result = GetExtendedUdpTable(buffer.data(), &size, FALSE, family, UDP_TABLE_OWNER_PID, 0);
        if (result == ERROR_INSUFFICIENT_BUFFER) {
            buffer.resize(size + 16 * sizeof(Table));
            continue;
        }
        if (result != NO_ERROR) {
            return std::nullopt;
        }
        const Table* table = reinterpret_cast<const Table*>(buffer.data());
        for (DWORD i = 0; i < table->dwNumEntries; ++i) {
            // The port is in network byte order, in the low 16 bits.
            if (ntohs(u_short(table->table[i].dwLocalPort)) == port) {
                return table->table[i].dwOwningPid;
            }
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<DWORD> udpPortOwner(quint16 port)
{
    if (const auto pid = udpPortOwner<MIB_UDPTABLE_OWNER_PID>(AF_INET, port)) {
        return pid;
    }
    return udpPortOwner<MIB_UDP6TABLE_OWNER_PID>(AF_INET6, port);
}

// DOMAIN\user of the token's account; empty when it cannot be read.
QString tokenUserName(HANDLE token)
{
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    if (size == 0) {
        return QString();
    }
    std::vector<unsigned char> buffer(size);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), size, &size)) {
        return QString();
    }
    const TOKEN_USER* tokenUser = reinterpret_cast<const TOKEN_USER*>(buffer.data());
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = 256;
    DWORD domainLength = 256;
    SID_NAME_USE use = SidTypeUnknown;
    if (!LookupAccountSidW(nullptr, tokenUser->User.Sid, name, &nameLength, domain, &domainLength, &use)) {
        return QString();
    }
    const QString user = QString::fromWCharArray(name, int(nameLength));
    return domainLength == 0 ? user : QString::fromWCharArray(domain, int(domainLength)) + u'\\' + user;
}

// The executable's name as the process list has it, which needs no access to the process itself.
QString listedProcessName(DWORD pid)
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) {
        return QString();
    }
    QString name;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
        if (entry.th32ProcessID == pid) {
            name = QString::fromWCharArray(entry.szExeFile);
            break;
        }
    }
    CloseHandle(snapshot);
    return name;
}

} // namespace

std::optional<PortHolder> udpPortHolder(quint16 port)
{
    const std::optional<DWORD> pid = udpPortOwner(port);
    if (!pid) {
        return std::nullopt;
    }
    PortHolder holder;
    holder.pid = qint64(*pid);
    DWORD session = 0;
    if (ProcessIdToSessionId(*pid, &session)) {
        holder.session = quint32(session);
    }
    // Another user's process is usually closed to this one: its name then comes from the process list, and its
    // account stays unknown.
    if (const HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, *pid)) {
        std::wstring path(32768, L'\0');
        DWORD length = DWORD(path.size());
        if (QueryFullProcessImageNameW(process, 0, path.data(), &length)) {
            holder.process = QFileInfo(QString::fromWCharArray(path.data(), int(length))).fileName();
        }
        HANDLE token = nullptr;
        if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
            holder.user = tokenUserName(token);
            CloseHandle(token);
        }
        CloseHandle(process);
    }
    if (holder.process.isEmpty()) {
        holder.process = listedProcessName(*pid);
    }
    return holder;
}

bool accessRefusalMeansPortHeld(quint16 port)
{
    return udpPortOwner(port).has_value();
}
