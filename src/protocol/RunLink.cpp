#include "protocol/RunLink.h"

#include "protocol/RunTexts.h"

#include <algorithm>

namespace {

// Pause between automatic cycles.
constexpr int AutoRestartPauseTicks = 300;
// While the network stays away the pause doubles up to this (30 s), and is back to the usual one once it returns.
constexpr int NetworkDownMaxPauseTicks = 3000;

} // namespace

RunLink::RunLink(Link& link, RunHost& host, CycleAccount& account, const Settings& settings)
    : m_link(link), m_host(host), m_account(account), m_settings(settings)
{
}

void RunLink::open()
{
    m_link.OpenUDP();
    m_networkFailures = 0;
    m_linkFailed = false;
}

bool RunLink::yieldAndCheck()
{
    m_link.pump();
    return m_host.isRunning() && !m_linkFailed;
}

bool RunLink::send(const QString& text)
{
    m_link.SendText(text);
    return linkOk();
}

bool RunLink::receive(QString& reply)
{
    // Shown now, right after the send, rather than while the reply waits to be read.
    m_host.flushDueDisplays();
    reply = m_link.WaitReply();
    if (!reply.isEmpty()) {
        // The network is there: a later outage is reported afresh and paused for from the start.
        m_networkFailures = 0;
    }
    return linkOk();
}

bool RunLink::poll(QString& reply)
{
    if (!receive(reply)) {
        return false;
    }
    if (reply.isEmpty()) {
        m_host.idlePoll();
    }
    return true;
}

bool RunLink::linkOk()
{
    return judgeLinkError(m_link.takeError());
}

std::optional<LinkError> RunLink::sendAnswer(const QString& text)
{
    m_link.SendText(text);
    return m_link.takeError();
}

bool RunLink::judgeLinkError(const std::optional<LinkError>& error)
{
    if (!error) {
        return m_host.isRunning() && !m_linkFailed;
    }
    // The cycle is failing already: its "CAN" cannot go out either.
    if (m_linkFailed) {
        return false;
    }
    m_linkFailed = true;
    if (error->transient && m_settings.AutoStart == 1) {
        // Polling goes on: the network comes back by itself (a cable, a roam, a resume, a late logon).
        // Shown once; every cycle of the outage keeps it for its history, which tells a lasting reason by its text.
        if (++m_networkFailures == 1) {
            m_account.showFailure(1, networkRetryStatusText(error->error));
        } else {
            m_account.setFailure(networkRetryStatusText(error->error));
        }
        return false;
    }
    m_account.setFailure(linkErrorStatusText(error->error));
    m_host.setStatusText(m_account.failure());
    m_host.setRunning(false);
    return false;
}

void RunLink::endCycle()
{
    if (!m_linkFailed) {
        m_networkFailures = 0;
    }
}

void RunLink::pauseBeforeNextCycle()
{
    // Whatever the window still holds back is shown before the pause, not up to a screen update into it.
    m_host.flushDisplays();
    m_link.WaitTicks(restartPauseTicks());
}

int RunLink::restartPauseTicks() const
{
    int ticks = AutoRestartPauseTicks;
    for (int failure = 1; failure < m_networkFailures && ticks < NetworkDownMaxPauseTicks; ++failure) {
        ticks *= 2;
    }
    return std::min(ticks, NetworkDownMaxPauseTicks);
}
