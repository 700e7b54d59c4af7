#pragma once
// The upload run's view of the UDP link. The Qt implementation lives in link/; tests use a scripted fake.
// Errors are not returned: the link reports them itself and clears Running through the RunHost.

#include <QString>

class Link
{
public:
    virtual ~Link() = default;
    virtual void OpenUDP() = 0;
    virtual void CloseUDP() = 0;
    // Empties the receive buffer, then sends text + CR as one datagram.
    virtual void SendText(const QString& text) = 0;
    // The receive buffer once it is non-empty, or "" after 100 ticks; the buffer itself is left as it is.
    virtual QString WaitReply() = 0;
    virtual void WaitTicks(int count) = 0;
    // One yield to the event loop: the run's explicit checkpoints.
    virtual void pump() = 0;
};
