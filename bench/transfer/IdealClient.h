#pragma once
// The floor a client can reach with the same peer: plain blocking system calls, one send and one receive per
// exchange, no event loop, no checks, no files. One source file per OS, chosen by CMake.

#include <cstdint>

// Sends "VOL", then "ACK" for every reply until `exchanges` replies have come from 127.0.0.1:port.
// Returns the seconds taken, or a negative value when a reply did not come within two seconds.
double idealClientSeconds(std::uint16_t port, int exchanges);
