#include "protocol/RunLink.h"

#include "protocol/RunTexts.h"

#include <algorithm>

namespace {

// Pause between automatic cycles.
constexpr int AutoRestartPauseTicks = 300;
// While the network stays away the pause doubles up to this (30 s), and is back to the usual one once it returns.
constexpr int NetworkDownMaxPauseTicks = 3000;
// While another program holds the local port (30 s): it may hold it all day, and trying sooner would not free it.
constexpr int PortInUseRetryTicks = 3000;

} // namespace

RunLink::RunLink(Link& link, RunHost& host, CycleAccount& account, const Settings& settings)
    : m_link(link), m_host(host), m_account(account), m_settings(settings)
{
}

void RunLink::open()
{
    m_link.OpenUDP();
    endOutage();
    m_linkFailed = false;
    m_bindDue = false;
}

RunLink::LocalPort RunLink::takeLocalPort()
{
    if (m_outage != Outage::PortInUse) {
        return LocalPort::Open;
    }
    if (!m_bindDue) {
        // Refused a moment ago at the run's start, already judged and shown: this cycle fails for it.
        m_linkFailed = true;
        m_account.setFailure(m_outageText);
        return LocalPort::Held;
    }
    m_bindDue = false;
    m_link.OpenUDP();
    const std::optional<LinkError> error = m_link.takeError();
    if (error) {
        judgeLinkError(error);
        return LocalPort::Held;
    }
    endOutage();
    return LocalPort::OpenedNow;
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
        endOutage();
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
    // Polling goes on: the network comes back by itself (a cable, a roam, a resume, a late logon), and a port held by
    // another user's copy on the same PC is free once that copy ends (a logoff).
    if (m_settings.AutoStart == 1 && error->kind == LinkError::Kind::NetworkAway) {
        failForOutage(Outage::NetworkAway, networkRetryStatusText(error->error));
        return false;
    }
    if (m_settings.AutoStart == 1 && error->kind == LinkError::Kind::PortInUse) {
        failForOutage(Outage::PortInUse, portInUseStatusText(error->port, error->holder));
        return false;
    }
    m_account.setFailure(linkErrorStatusText(error->error));
    m_runError = m_account.failure();
    m_host.setStatusText(m_account.failure());
    m_host.setRunning(false);
    return false;
}

void RunLink::failForOutage(Outage outage, const QString& text)
{
    if (outage != m_outage) {
        endOutage();
        m_outage = outage;
    }
    // Shown once; every cycle of the outage keeps it for its history, which tells a lasting reason by its text.
    if (++m_outageCycles == 1 || text != m_outageText) {
        m_account.showFailure(1, text);
    } else {
        m_account.setFailure(text);
    }
    m_outageText = text;
}

void RunLink::endOutage()
{
    m_outage = Outage::None;
    m_outageCycles = 0;
    m_outageText.clear();
}

void RunLink::endCycle()
{
    if (!m_linkFailed) {
        endOutage();
    }
}

void RunLink::pauseBeforeNextCycle()
{
    // Whatever the window still holds back is shown before the pause, not up to a screen update into it.
    m_host.flushDisplays();
    m_link.WaitTicks(restartPauseTicks());
    m_bindDue = true;
}

int RunLink::restartPauseTicks() const
{
    if (m_outage == Outage::PortInUse) {
        return PortInUseRetryTicks;
    }
    int ticks = AutoRestartPauseTicks;
    for (int failure = 1; failure < m_outageCycles && ticks < NetworkDownMaxPauseTicks; ++failure) {
        ticks *= 2;
    }
    return std::min(ticks, NetworkDownMaxPauseTicks);
}
