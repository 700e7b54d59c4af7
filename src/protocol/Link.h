#pragma once
// The upload run's view of the UDP link. The Qt implementation lives in link/; tests use a scripted fake.
// The link reports nothing to the window itself: it keeps the first error of its socket for the run, which decides.

#include "base/SystemError.h"

#include <QString>

#include <optional>

struct LinkError
{
    SystemError error;
    // The network itself is away for now (unreachable, down, out of buffers), not the settings or the socket.
    bool transient = false;
};

class Link
{
public:
    virtual ~Link() = default;
    virtual void OpenUDP() = 0;
    virtual void CloseUDP() = 0;
    // Empties the receive buffer, then sends text + CR as one datagram.
    virtual void SendText(const QString& text) = 0;
    // The receive buffer once it is non-empty, or "" after 100 ticks or at a socket error; the buffer itself is left
    // as it is.
    virtual QString WaitReply() = 0;
    virtual void WaitTicks(int count) = 0;
    // One yield to the event loop: the run's explicit checkpoints.
    virtual void pump() = 0;
    // The first error since the last call (opening, a send or a read), then none until the next one.
    virtual std::optional<LinkError> takeError() = 0;
};
