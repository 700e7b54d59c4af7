#pragma once
// The run's side of the link: each send, reply wait, pause and yield of a run, with the displays brought up to date
// before each wait, and what a link error means: a network away for now fails the cycle and polling goes on with a
// pause that grows while it stays away; any other error ends the run. No sockets or timers: Link has them.

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
    // A network that is away for now fails the cycle and polling goes on (AutoStart 1); any other error ends the run
    // with the link error text. False when the cycle cannot go on.
    bool judgeLinkError(const std::optional<LinkError>& error);

    // The cycle failed for an outage that has failed cycles before it: it is not reported again.
    bool outageGoesOn() const { return m_linkFailed && m_networkFailures > 1; }
    // The cycle has ended: one that met no link error ends an outage.
    void endCycle();
    // Between automatic cycles, longer while the network stays away.
    void pauseBeforeNextCycle();

private:
    int restartPauseTicks() const;

    Link& m_link;
    RunHost& m_host;
    CycleAccount& m_account;
    const Settings& m_settings;
    // This cycle met a link error; later ones of the same cycle are its echo.
    bool m_linkFailed = false;
    // Cycles in a row that failed for a network away for now.
    int m_networkFailures = 0;
};
