#include "output/OutageRule.h"

#include <QStringList>
#include <QTest>

using Outcome = OutageRule::Outcome;

namespace {

// One cycle fed to the rule: "+" stored, "stop", or a failure's reason.
QString step(OutageRule& rule, const QString& cycle)
{
    const Outcome outcome = cycle == QStringLiteral("+")      ? Outcome::Stored
                            : cycle == QStringLiteral("stop") ? Outcome::Stopped
                                                              : Outcome::Failed;
    const OutageRule::Step result = rule.next(outcome, outcome == Outcome::Failed ? cycle : QString());
    QStringList parts;
    if (result.ended) {
        parts << QStringLiteral("ended %1x%2").arg(result.ended->reason).arg(result.ended->cycles);
    }
    if (result.writeLine) {
        parts << QStringLiteral("line");
    }
    if (result.notice == OutageRule::Notice::Started) {
        parts << QStringLiteral("notice");
    } else if (result.notice == OutageRule::Notice::Ended) {
        parts << QStringLiteral("back");
    }
    return parts.join(u' ');
}

} // namespace

class TestOutageRule : public QObject
{
    Q_OBJECT

private slots:
    // One day's cycles and what each asks for: lines at a streak's start and end, a notice once per lasting
    // reason, one more only when a cycle stores again.
    void dayTranscript()
    {
        const QList<std::pair<QString, QString>> day = {
            {QStringLiteral("+"), QStringLiteral("line")},
            // A single failure and a pair: no notice; the pair closes with its count.
            {QStringLiteral("A"), QStringLiteral("line")},
            {QStringLiteral("+"), QStringLiteral("line")},
            {QStringLiteral("A"), QStringLiteral("line")},
            {QStringLiteral("A"), QString()},
            {QStringLiteral("+"), QStringLiteral("ended Ax2 line")},
            // Lasting: one notice at the third, silence after it.
            {QStringLiteral("A"), QStringLiteral("line")},
            {QStringLiteral("A"), QString()},
            {QStringLiteral("A"), QStringLiteral("notice")},
            {QStringLiteral("A"), QString()},
            // Another reason is a streak of its own, with its own notice; the outage is not over.
            {QStringLiteral("B"), QStringLiteral("ended Ax4 line")},
            {QStringLiteral("B"), QString()},
            {QStringLiteral("B"), QStringLiteral("notice")},
            // A Stop closes the streak but not the outage: storing again does.
            {QStringLiteral("stop"), QStringLiteral("ended Bx3 line")},
            {QStringLiteral("stop"), QStringLiteral("line")},
            {QStringLiteral("B"), QStringLiteral("line")},
            {QStringLiteral("+"), QStringLiteral("line back")},
            {QStringLiteral("+"), QStringLiteral("line")},
            // Reasons that alternate never last.
            {QStringLiteral("A"), QStringLiteral("line")},
            {QStringLiteral("B"), QStringLiteral("line")},
            {QStringLiteral("A"), QStringLiteral("line")},
            {QStringLiteral("+"), QStringLiteral("line")},
        };
        OutageRule rule;
        QStringList expected;
        QStringList actual;
        for (const auto& [cycle, asks] : day) {
            expected << cycle + QStringLiteral(": ") + asks;
            actual << cycle + QStringLiteral(": ") + step(rule, cycle);
        }
        QCOMPARE(actual, expected);
    }
};

QTEST_GUILESS_MAIN(TestOutageRule)
#include "TestOutageRule.moc"
