#include "output/CycleHistory.h"

#include "base/Cp932.h"
#include "fakes/TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

CycleHistoryEntry entry(const QString& terminalFile, const QString& answer, const QString& failure = QString())
{
    const bool ack = answer == QStringLiteral("ACK");
    const QString mail = ack ? QStringLiteral("a@example.jp宛 ﾒｰﾙ登録完了") : QString();
    const QDateTime time(QDate(2024, 3, 5), QTime(8, 7, 6));
    return {time, terminalFile, 12, ack ? 12 : 3, answer, QStringLiteral("C:\\受信\\ORDERS.txt"), mail, failure};
}

} // namespace

class TestCycleHistory : public QObject
{
    Q_OBJECT

private slots:
    void linesAreQuotedCsvInCp932UnderAHeader()
    {
        QTemporaryDir dir;
        CycleHistory history(dir.filePath(QStringLiteral("History.csv")));
        QVERIFY(!history.append(entry(QStringLiteral("ORDERS"), QStringLiteral("ACK"))));
        QVERIFY(!history.append(
            entry(QStringLiteral("A,\"B\""), QStringLiteral("CAN"), QStringLiteral("ﾚｺｰﾄﾞ受信 : CRC ｴﾗｰ\r\n^1abc"))));

        const QByteArray bytes = readTestFile(history.path());
        // 日時 in cp932, not UTF-8: Excel on a Japanese system reads the file as it stands.
        QVERIFY(bytes.startsWith("\x93\xFA\x8E\x9E,"));
        QCOMPARE(bytes, Cp932::encode(QStringLiteral(
                            "日時,端末ﾌｧｲﾙ名,ﾚｺｰﾄﾞ件数,受信件数,応答,ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ,ﾒｰﾙ結果,異常内容\r\n"
                            "2024/03/05 08:07:06,ORDERS,12,12,ACK,C:\\受信\\ORDERS.txt,a@example.jp宛 ﾒｰﾙ登録完了,\r\n"
                            "2024/03/05 08:07:06,\"A,\"\"B\"\"\",12,3,CAN,C:\\受信\\ORDERS.txt,,"
                            "\"ﾚｺｰﾄﾞ受信 : CRC ｴﾗｰ\r\n^1abc\"\r\n")));
    }

    void rollsOverIntoOneOlderFileAtTheBound()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("History.csv"));
        const QString older = dir.filePath(QStringLiteral("History.old.csv"));
        QCOMPARE(CycleHistory::olderPath(path), older);
        auto line = [](int n) {
            return CycleHistory::entryLine(entry(QStringLiteral("F%1").arg(n), QStringLiteral("ACK")));
        };
        const QByteArray header = CycleHistory::headerLine();
        // Room for the header and two lines.
        CycleHistory history(path, header.size() + line(1).size() * 2);

        for (int n = 1; n <= 5; ++n) {
            QVERIFY(!history.append(entry(QStringLiteral("F%1").arg(n), QStringLiteral("ACK"))));
        }
        // Lines 1 and 2 went at the first roll-over, and the second replaced them: never more than two files.
        QCOMPARE(readTestFile(older), header + line(3) + line(4));
        QCOMPARE(readTestFile(path), header + line(5));
    }

    // Lines the file cannot take (Excel holds it) wait and arrive in order: by the retry while idle, at the next
    // line otherwise. Beyond the bound the newer ones are counted in one line. A missing folder fails even root.
    void heldLinesArriveInOrder()
    {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("in")));
        const QString path = dir.filePath(QStringLiteral("in/History.csv"));
        auto block = [&] { return QDir(dir.path()).rename(QStringLiteral("in"), QStringLiteral("away")); };
        auto release = [&] { return QDir(dir.path()).rename(QStringLiteral("away"), QStringLiteral("in")); };
        CycleHistory history(path);
        QByteArray expected = CycleHistory::headerLine();
        // Lines name1 to name<count>, each failing; the expected file keeps the first MaxHeldLines.
        auto appendBlocked = [&](const QString& name, int count) {
            for (int n = 1; n <= count; ++n) {
                const CycleHistoryEntry line = entry(name + QString::number(n), QStringLiteral("ACK"));
                expected += n <= CycleHistory::MaxHeldLines ? CycleHistory::entryLine(line) : QByteArray();
                QVERIFY(history.append(line));
            }
        };

        history.setRetryInterval(std::chrono::milliseconds(20));
        QVERIFY(block());
        appendBlocked(QStringLiteral("F"), 3);
        QVERIFY(release());
        QTRY_COMPARE(readTestFile(path), expected);

        history.setRetryInterval(std::chrono::hours(1));
        QVERIFY(block());
        appendBlocked(QStringLiteral("G"), 1002);
        QVERIFY(release());
        QVERIFY(!history.append(entry(QStringLiteral("H"), QStringLiteral("ACK"))));
        QCOMPARE(readTestFile(path),
                 expected +
                     Cp932::encode(QStringLiteral("2024/03/05 08:07:06,,,,,,,履歴ﾌｧｲﾙに書き込めなかったため、"
                                                  "ここから2件の履歴を記録していません\r\n")) +
                     CycleHistory::entryLine(entry(QStringLiteral("H"), QStringLiteral("ACK"))));
    }
};

QTEST_GUILESS_MAIN(TestCycleHistory)
#include "TestCycleHistory.moc"
