#include "IdealClient.h"

#include <chrono>

double idealClientSeconds(std::uint16_t port, int exchanges)
{
    IdealSocket socket;
    if (!socket.connectTo(port)) {
        return -1;
    }
    static char buffer[70000];
    const auto start = std::chrono::steady_clock::now();
    bool ok = socket.send("VOL\r", 4);
    for (int replies = 0; ok && replies < exchanges;) {
        ok = socket.receive(buffer, sizeof buffer);
        if (ok && ++replies < exchanges) {
            ok = socket.send("ACK\r", 4);
        }
    }
    const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
    return ok ? seconds.count() : -1;
}
