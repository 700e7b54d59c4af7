#pragma once
// The run's side of the link: each send, reply wait, pause and yield of a run, with the displays brought up to date
// before each wait, and what a link error means. With automatic start what passes by itself fails the cycle and
// polling goes on: a network away for now (the pause grows while it stays away), a local port another program holds
// (bound again every 30 s until it is free). Any other error ends the run. No sockets or timers: Link has them.

#include "config/Settings.h"
#include "protocol/CycleAccount.h"
#include "protocol/Link.h"
#include "protocol/RunHost.h"

#include <QString>

#include <optional>

class RunLink
{
public:
    RunLink(Link& link, RunHost& host, CycleAccount& account, const Settings& settings);

    // OpenUDP for a new run: no outage known yet. Its error, if any, is judged by the next linkOk.
    void open();
    void close() { m_link.CloseUDP(); }
    // A new cycle has met no link error yet.
    void beginCycle() { m_linkFailed = false; }

    enum class LocalPort
    {
        Open,
        // Bound at last: the port was held until now.
        OpenedNow,
        // Still held: the cycle fails for it.
        Held,
    };
    // At a cycle's start: while another program holds the local port, binds again once a pause has passed since the
    // last try (the run's first cycle fails for the bind its start was refused).
    LocalPort takeLocalPort();

    // One yield to the event loop; false when Running was cleared meanwhile or the cycle met a link error.
    bool yieldAndCheck();
    // SendText, which yields too; false when Running was cleared meanwhile or the link failed.
    bool send(const QString& text);
    // WaitReply; false when Running was cleared meanwhile or the link failed.
    bool receive(QString& reply);
    // receive for a poll of the terminal (its clock or its file): a wait that ends without an answer or a link error
    // is told to the host as an idle poll.
    bool poll(QString& reply);
    // Takes the link's error, if any, and judges it. False when the cycle cannot go on.
    bool linkOk();
    // The final answer: sent whatever this cycle met, its error handed back unjudged.
    std::optional<LinkError> sendAnswer(const QString& text);
    // With AutoStart 1 a network away for now or a local port held by another program fails the cycle and polling
    // goes on; any other error, and any error of a run started by hand, ends the run with the link error text. False
    // when the cycle cannot go on.
    bool judgeLinkError(const std::optional<LinkError>& error);

    // The status text of the error that ended the run, when one did.
    const QString& runError() const { return m_runError; }

    // The cycle failed for an outage that has failed cycles before it: it is not reported again.
    bool outageGoesOn() const { return m_linkFailed && m_outageCycles > 1; }
    // The cycle has ended: one that met no link error ends an outage.
    void endCycle();
    // Between automatic cycles: longer while the network stays away, 30 s while the local port is held.
    void pauseBeforeNextCycle();

private:
    enum class Outage
    {
        None,
        NetworkAway,
        PortInUse,
    };

    // One more cycle failed for a reason that passes by itself; text is shown when the outage begins or its reason
    // changes (another program holds the port), and kept for the cycle's history line.
    void failForOutage(Outage outage, const QString& text);
    void endOutage();
    int restartPauseTicks() const;

    Link& m_link;
    RunHost& m_host;
    CycleAccount& m_account;
    const Settings& m_settings;
    // This cycle met a link error; later ones of the same cycle are its echo.
    bool m_linkFailed = false;
    // What the cycles in a row failed for, how many, and the text of the last one.
    Outage m_outage = Outage::None;
    int m_outageCycles = 0;
    QString m_outageText;
    // A pause has passed since the link last tried to bind.
    bool m_bindDue = false;
    QString m_runError;
};
