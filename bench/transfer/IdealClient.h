#pragma once
// The floor a client can reach with the same peer: plain blocking system calls, one send and one receive per
// exchange, no event loop, no checks, no files.

#include <cstdint>

// Sends "VOL", then "ACK" for every reply until `exchanges` replies have come from 127.0.0.1:port.
// Returns the seconds taken, or a negative value when a reply did not come within two seconds.
double idealClientSeconds(std::uint16_t port, int exchanges);

// The socket calls, one source file per OS, chosen by CMake.
class IdealSocket
{
public:
    IdealSocket();
    ~IdealSocket();
    IdealSocket(const IdealSocket&) = delete;
    IdealSocket& operator=(const IdealSocket&) = delete;

    // Connected, so the system filters other senders, as the program does by hand; replies time out after 2 s.
    bool connectTo(std::uint16_t port);
    bool send(const char* data, int size);
    bool receive(char* buffer, int size);

private:
    std::intptr_t m_socket;
};
