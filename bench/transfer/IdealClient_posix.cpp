#include "IdealClient.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

IdealSocket::IdealSocket() : m_socket(socket(AF_INET, SOCK_DGRAM, 0)) {}

IdealSocket::~IdealSocket()
{
    if (m_socket >= 0) {
        close(int(m_socket));
    }
}

bool IdealSocket::connectTo(std::uint16_t port)
{
    if (m_socket < 0) {
        return false;
    }
    timeval timeout{2, 0};
    setsockopt(int(m_socket), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return connect(int(m_socket), reinterpret_cast<const sockaddr*>(&peer), sizeof peer) == 0;
}

bool IdealSocket::send(const char* data, int size)
{
    return ::send(int(m_socket), data, size_t(size), 0) == size;
}

bool IdealSocket::receive(char* buffer, int size)
{
    return recv(int(m_socket), buffer, size_t(size), 0) >= 0;
}
