#include "IdealClient.h"

#include <winsock2.h>
// winsock2.h first
#include <ws2tcpip.h>

// Qt has started Winsock already; the socket calls below need nothing more.
IdealSocket::IdealSocket() : m_socket(std::intptr_t(socket(AF_INET, SOCK_DGRAM, 0))) {}

IdealSocket::~IdealSocket()
{
    if (SOCKET(m_socket) != INVALID_SOCKET) {
        closesocket(SOCKET(m_socket));
    }
}

bool IdealSocket::connectTo(std::uint16_t port)
{
    if (SOCKET(m_socket) == INVALID_SOCKET) {
        return false;
    }
    const DWORD timeoutMs = 2000;
    setsockopt(SOCKET(m_socket), SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(SOCKET(m_socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

bool IdealSocket::send(const char* data, int size)
{
    return ::send(SOCKET(m_socket), data, size, 0) == size;
}

bool IdealSocket::receive(char* buffer, int size)
{
    return recv(SOCKET(m_socket), buffer, size, 0) >= 0;
}
