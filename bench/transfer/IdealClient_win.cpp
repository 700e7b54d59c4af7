#include "IdealClient.h"

#include <winsock2.h>
// winsock2.h first
#include <ws2tcpip.h>

#include <chrono>

double idealClientSeconds(std::uint16_t port, int exchanges)
{
    // Qt has started Winsock already; the socket calls below need nothing more.
    const SOCKET fd = socket(AF_INET, SOCK_DGRAM, 0);
    if (fd == INVALID_SOCKET) {
        return -1;
    }
    const DWORD timeoutMs = 2000;
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeoutMs), sizeof timeoutMs);
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(port);
    peer.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (connect(fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        closesocket(fd);
        return -1;
    }
    static char buffer[70000];
    const auto start = std::chrono::steady_clock::now();
    bool ok = send(fd, "VOL\r", 4, 0) == 4;
    for (int replies = 0; ok && replies < exchanges;) {
        ok = recv(fd, buffer, sizeof buffer, 0) >= 0;
        if (ok && ++replies < exchanges) {
            ok = send(fd, "ACK\r", 4, 0) == 4;
        }
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    closesocket(fd);
    return ok ? seconds.count() : -1;
}
