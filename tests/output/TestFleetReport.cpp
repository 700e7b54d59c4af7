#include "output/FleetReport.h"

#include "base/Cp932.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestFleetReport : public QObject
{
    Q_OBJECT

private:
    static StatusRecord copy(const QString& pc, const QString& user, StatusRecord::State state)
    {
        StatusRecord record;
        record.pc = pc;
        record.user = user;
        record.state = state;
        return record;
    }

private slots:
    // A fresh, a failing, a silent and a foreign file: each one's state, the console's aligned columns, the CSV for
    // Excel, and the exit code a scheduled check acts on.
    void oneRowPerCopy()
    {
        const QDateTime now = QDateTime::currentDateTime();
        StatusRecord fresh = copy(u"PC01"_s, u"tanaka"_s, StatusRecord::State::Polling);
        fresh.lastStored = StatusRecord::StoredCycle{now.addSecs(-300), u"棚卸@120.txt"_s, 120, u"D:\\受信"_s};
        StatusRecord failing = copy(u"PC02"_s, u"suzuki"_s, StatusRecord::State::Failing);
        failing.profile = u"1F"_s;
        failing.failure = StatusRecord::Failure{u"ﾒｰﾙ登録失敗:550 no, sorry\r\n再試行"_s, now.addSecs(-3600), 12};
        // Polling, as its file says, but not replaced for 16 minutes.
        const StatusRecord silent = copy(u"PC03"_s, u"ｻﾄｳ"_s, StatusRecord::State::Polling);
        const std::vector<FleetFile> files = {
            {u"PC01-tanaka.json"_s, statusJson(fresh), now.addSecs(-60)},
            {u"PC02-suzuki-1F.json"_s, statusJson(failing), now},
            {u"PC03-ｻﾄｳ.json"_s, statusJson(silent), now.addSecs(-16 * 60)},
            {u"notes.json"_s, "{\"a\": 1}", now},
        };
        const std::vector<FleetRow> rows = fleetRows(files, now);
        QCOMPARE(rows.size(), std::size_t(4));
        QCOMPARE(rows[0].state, FleetRow::State::Polling);
        QCOMPARE(rows[1].state, FleetRow::State::Failing);
        QCOMPARE(rows[2].state, FleetRow::State::Silent);
        QCOMPARE(rows[3].state, FleetRow::State::Unreadable);
        QCOMPARE(fleetExitCode(rows), 1);

        const QStringList lines = fleetText(rows).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 5);
        const QStringList words = {u"状態"_s, u"通信中"_s, u"異常"_s, u"応答なし"_s, u"読取不可"_s};
        const QStringList starts = {u"PC "_s, u"PC01 "_s, u"PC02 "_s, u"PC03 "_s, u"notes "_s};
        for (int i = 0; i < lines.size(); ++i) {
            QVERIFY2(lines[i].startsWith(starts[i]), qPrintable(lines[i]));
            // The state in one column, as a Japanese console shows half- and full-width characters.
            const qsizetype at = (lines[i] + u' ').indexOf(u"  "_s + words[i] + u' ');
            QVERIFY2(at > 0, qPrintable(lines[i]));
            QCOMPARE(Cp932::byteCount(lines[i].left(at)),
                     Cp932::byteCount(lines[0].left(lines[0].indexOf(u"  状態"_s))));
        }
        QVERIFY(lines[1].contains(u"棚卸@120.txt"_s));
        QVERIFY(lines[2].endsWith(u"ﾒｰﾙ登録失敗:550 no, sorry 再試行"_s));

        const QStringList csv = Cp932::decode(fleetCsv(rows)).split(u"\r\n"_s);
        QCOMPARE(csv.size(), 6); // and the last line's end
        QVERIFY(csv[0].startsWith(u"PC,ﾕｰｻﾞｰ,ﾌﾟﾛﾌｧｲﾙ,状態,"_s));
        QVERIFY2(csv[2].startsWith(u"PC02,suzuki,1F,異常,"_s), qPrintable(csv[2]));
        // Each value under its own heading.
        const QStringList heading = csv[0].split(u',');
        QVERIFY(csv[2].contains(u",\"ﾒｰﾙ登録失敗:550 no, sorry 再試行\","_s));
        const QStringList failingCells = fleetCells(rows[1]);
        QCOMPARE(failingCells.size(), heading.size());
        QCOMPARE(failingCells[heading.indexOf(u"連続回数"_s)], u"12"_s);
        QCOMPARE(failingCells[heading.indexOf(u"異常内容"_s)], u"ﾒｰﾙ登録失敗:550 no, sorry 再試行"_s);
        QCOMPARE(fleetCells(rows[0])[heading.indexOf(u"件数"_s)], u"120"_s);
        QCOMPARE(fleetCells(rows[0])[heading.indexOf(u"端末ﾌｧｲﾙ名"_s)], u"棚卸@120.txt"_s);

        // Every copy polling with a fresh file, and only then, is all well.
        QCOMPARE(fleetExitCode(fleetRows({files[0]}, now)), 0);
        QCOMPARE(fleetExitCode({}), 1);
        const FleetFile stopped{u"PC04-x.json"_s, statusJson(copy(u"PC04"_s, u"x"_s, StatusRecord::State::Stopped)),
                                now};
        QCOMPARE(fleetExitCode(fleetRows({files[0], stopped}, now)), 1);
    }
};

QTEST_GUILESS_MAIN(TestFleetReport)
#include "TestFleetReport.moc"
