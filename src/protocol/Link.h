#pragma once
// The upload run's view of the UDP link. The Qt implementation lives in link/; tests use a scripted fake.
// The link reports nothing to the window itself: it keeps the first error of its socket for the run, which decides.

#include "base/PortHolder.h"
#include "base/SystemError.h"

#include <QString>
#include <QtGlobal>

#include <optional>
#include <utility>

struct LinkError
{
    enum class Kind
    {
        // The settings or the socket: nothing that passes by itself.
        Other,
        // The network itself is away for now (unreachable, down, out of buffers).
        NetworkAway,
        // Another program holds the local port (another user's copy on the same PC): it is free once that one ends.
        PortInUse,
    };

    // Two constructors rather than a defaulted holder: moving a defaulted empty one trips GCC's maybe-uninitialized
    // check under the sanitizers.
    LinkError(SystemError systemError, Kind errorKind = Kind::Other, quint16 localPort = 0)
        : error(std::move(systemError)), kind(errorKind), port(localPort)
    {
    }
    LinkError(SystemError systemError, Kind errorKind, quint16 localPort, std::optional<PortHolder> portHolder)
        : error(std::move(systemError)), kind(errorKind), port(localPort), holder(std::move(portHolder))
    {
    }

    SystemError error;
    Kind kind = Kind::Other;
    // PortInUse: the local port and, where the system tells, who holds it.
    quint16 port = 0;
    std::optional<PortHolder> holder;
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
