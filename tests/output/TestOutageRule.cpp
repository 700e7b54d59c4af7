#include "output/OutageRule.h"

#include <QStringList>
#include <QTest>

using namespace Qt::StringLiterals;

class TestOutageRule : public QObject
{
    Q_OBJECT

private slots:
    // A day of cycles, each "what happened>what the rule asks": "+" stored, "stop", or a failure's reason; asked are
    // the streak's closing line, this cycle's line, and a notice (or "back" after one).
    void dayTranscript()
    {
        const QStringList day = {
            // A single failure is its own line; a pair closes with its count and gives no notice.
            u"+>line"_s, u"A>line"_s, u"+>line"_s, u"A>line"_s, u"A>"_s, u"+>ended Ax2 line"_s,
            // Lasting: one notice at the third cycle. Another reason is a streak with a notice of its own.
            u"A>line"_s, u"A>"_s, u"A>notice"_s, u"A>"_s, u"B>ended Ax4 line"_s, u"B>"_s, u"B>notice"_s,
            // A Stop closes the streak but not the outage: only storing again does.
            u"stop>ended Bx3 line"_s, u"stop>line"_s, u"B>line"_s, u"+>line back"_s, u"+>line"_s};
        const QString notices[] = {QString(), u"notice"_s, u"back"_s};
        OutageRule rule;
        QStringList actual;
        for (const QString& cycle : day) {
            const QString what = cycle.section(u'>', 0, 0);
            const auto outcome = what == u"+"_s      ? OutageRule::Outcome::Stored
                                 : what == u"stop"_s ? OutageRule::Outcome::Stopped
                                                     : OutageRule::Outcome::Failed;
            const OutageRule::Step step = rule.next(outcome, outcome == OutageRule::Outcome::Failed ? what : QString());
            const QString ended =
                step.ended ? u"ended %1x%2 "_s.arg(step.ended->reason).arg(step.ended->cycles) : QString();
            const QString line = step.writeLine ? u"line "_s : QString();
            actual << (what + u'>' + ended + line + notices[static_cast<int>(step.notice)]).trimmed();
        }
        QCOMPARE(actual, day);
    }
};

QTEST_GUILESS_MAIN(TestOutageRule)
#include "TestOutageRule.moc"
