#pragma once
// A scripted link for run tests: no sockets, no real time. The script lists the expected sends, the canned
// replies (or time-outs) and the expected WaitTicks calls in order; each step may carry an action (for example a
// Stop) that runs while the step is consumed. A run that leaves the script clears Running and is flagged, so no
// retry loop can hang a test.

#include "protocol/Link.h"
#include "protocol/RunHost.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <utility>

class FakeLink : public Link
{
public:
    static constexpr int ReplyTimeoutTicks = 100;

    explicit FakeLink(RunHost& host) : m_host(host) {}

    // --- script ---
    // The next SendText must send exactly this text.
    FakeLink& expect(const QString& text) { return add({StepKind::Send, text, 0, {}}); }
    // The next WaitReply returns this text after the given virtual ticks.
    FakeLink& reply(const QString& text, int ticks = 1) { return add({StepKind::Reply, text, ticks, {}}); }
    // The next WaitReply gives up after 100 virtual ticks and returns "".
    FakeLink& timeout() { return add({StepKind::Reply, QString(), ReplyTimeoutTicks, {}}); }
    // The next WaitTicks must wait exactly this many ticks.
    FakeLink& waitTicks(int count) { return add({StepKind::Ticks, QString(), count, {}}); }
    // Runs when the last added step is consumed: during its wait, or right after its send.
    FakeLink& then(std::function<void()> action)
    {
        if (!m_script.isEmpty()) {
            m_script.last().action = std::move(action);
        }
        return *this;
    }
    // The user presses Stop during the last added step (stopAction, by default clearing Running).
    FakeLink& stop()
    {
        return then([this] { stopAction ? stopAction() : m_host.setRunning(false); });
    }

    // The last added step fails with this link error (a send that could not go out, a read error in a wait).
    FakeLink& failWith(const LinkError& linkError)
    {
        return then([this, linkError] {
            if (!error) {
                error = linkError;
            }
        });
    }

    bool scriptDone() const { return m_next >= m_script.size(); }
    // Everything is fine when no step was missed and the whole script was used.
    bool ok() const { return failures.isEmpty() && scriptDone(); }

    // --- Link ---
    void OpenUDP() override
    {
        ++openCount;
        record(QStringLiteral("OpenUDP"));
        if (!openErrors.isEmpty()) {
            if (std::optional<LinkError> refusal = openErrors.takeFirst(); refusal && !error) {
                error = refusal;
            }
        }
    }
    void CloseUDP() override
    {
        ++closeCount;
        record(QStringLiteral("CloseUDP"));
    }
    void SendText(const QString& text) override
    {
        sent.append(text);
        record(QStringLiteral("> ") + text);
        if (nextIs(StepKind::Send)) {
            Step step = take();
            if (step.text != text) {
                fail(QStringLiteral("sent \"%1\", expected \"%2\"").arg(text, step.text));
            }
            runAction(step);
        } else if (strict) {
            fail(QStringLiteral("unexpected send \"%1\"").arg(text));
        }
    }
    QString WaitReply() override
    {
        if (!nextIs(StepKind::Reply)) {
            fail(QStringLiteral("unexpected WaitReply"));
            tickCount += ReplyTimeoutTicks;
            record(QStringLiteral("< (time-out)"));
            return {};
        }
        Step step = take();
        tickCount += step.ticks;
        record(step.text.isEmpty() ? QStringLiteral("< (time-out)") : QStringLiteral("< ") + step.text);
        runAction(step);
        return step.text;
    }
    void WaitTicks(int count) override
    {
        tickCount += count > 0 ? count : 0;
        record(QStringLiteral("WaitTicks %1").arg(count));
        if (nextIs(StepKind::Ticks)) {
            Step step = take();
            if (step.ticks != count) {
                fail(QStringLiteral("WaitTicks(%1), expected %2").arg(count).arg(step.ticks));
            }
            runAction(step);
        } else if (strict) {
            fail(QStringLiteral("unexpected WaitTicks(%1)").arg(count));
        }
    }
    std::optional<LinkError> takeError() override { return std::exchange(error, std::nullopt); }
    void pump() override
    {
        ++pumps;
        if (onPump) {
            onPump(pumps);
        }
    }

    // --- settings ---
    // Sends and WaitTicks outside the script are failures; false records them only.
    bool strict = true;
    // Replaces the default Stop (clearing Running), e.g. to play the whole Stop handler.
    std::function<void()> stopAction;
    // Called on every explicit yield with its 1-based number.
    std::function<void(int)> onPump;
    // Optional shared journal (with FakeRunHost) to assert the order across fakes.
    QStringList* journal = nullptr;

    // The error takeError() hands over next.
    std::optional<LinkError> error;
    // What each OpenUDP in turn fails with (nothing: it opens); once used up, every one opens.
    QList<std::optional<LinkError>> openErrors;

    // --- record ---
    QStringList transcript; // "OpenUDP", "> VOL", "< ^#...", "< (time-out)", "WaitTicks 300", "CloseUDP"
    QStringList sent;
    QStringList failures;
    qint64 tickCount = 0;
    int pumps = 0;
    int openCount = 0;
    int closeCount = 0;

private:
    enum class StepKind
    {
        Send,
        Reply,
        Ticks,
    };
    struct Step
    {
        StepKind kind;
        QString text;
        int ticks;
        std::function<void()> action;
    };

    FakeLink& add(Step step)
    {
        m_script.append(std::move(step));
        return *this;
    }
    bool nextIs(StepKind kind) const { return m_next < m_script.size() && m_script[m_next].kind == kind; }
    Step take() { return m_script[m_next++]; }
    void runAction(const Step& step)
    {
        if (step.action) {
            step.action();
        }
    }
    void record(const QString& entry)
    {
        transcript.append(entry);
        if (journal) {
            journal->append(entry);
        }
    }
    void fail(const QString& what)
    {
        failures.append(QStringLiteral("step %1: %2").arg(m_next).arg(what));
        // Out of script: stop the run so that no loop can spin forever.
        m_host.setRunning(false);
    }

    RunHost& m_host;
    QList<Step> m_script;
    qsizetype m_next = 0;
};
