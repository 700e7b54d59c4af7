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
    // line otherwise. Beyond the bound the newer ones are counted in one line. A folder in the file's place fails
    // the open even for root.
    void heldLinesArriveInOrder()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("History.csv"));
        const QString aside = dir.filePath(QStringLiteral("aside.csv"));
        auto line = [](int n) {
            return CycleHistory::entryLine(entry(QStringLiteral("F%1").arg(n), QStringLiteral("ACK")));
        };
        auto block = [&] { return (!QFile::exists(path) || QFile::rename(path, aside)) && QDir().mkdir(path); };
        auto release = [&] { return QDir().rmdir(path) && (!QFile::exists(aside) || QFile::rename(aside, path)); };
        CycleHistory history(path);
        history.setRetryInterval(std::chrono::milliseconds(20));

        QVERIFY(block());
        for (int n = 1; n <= 3; ++n) {
            QVERIFY(history.append(entry(QStringLiteral("F%1").arg(n), QStringLiteral("ACK"))));
        }
        QCOMPARE(history.state(), CycleHistory::State::Holding);
        QVERIFY(release());
        QTRY_COMPARE(readTestFile(path), CycleHistory::headerLine() + line(1) + line(2) + line(3));
        QCOMPARE(history.state(), CycleHistory::State::Written);

        history.setRetryInterval(std::chrono::hours(1));
        QVERIFY(block());
        QVERIFY(history.append(entry(QStringLiteral("F4"), QStringLiteral("ACK"))));
        QVERIFY(release());
        QVERIFY(!history.append(entry(QStringLiteral("F5"), QStringLiteral("ACK"))));
        QCOMPARE(readTestFile(path), CycleHistory::headerLine() + line(1) + line(2) + line(3) + line(4) + line(5));

        QVERIFY(block());
        QByteArray held;
        for (int n = 1; n <= 1002; ++n) {
            QVERIFY(history.append(entry(QStringLiteral("G%1").arg(n), QStringLiteral("CAN"))));
            if (n <= 1000) {
                held += CycleHistory::entryLine(entry(QStringLiteral("G%1").arg(n), QStringLiteral("CAN")));
            }
        }
        QCOMPARE(history.state(), CycleHistory::State::Dropping);
        QVERIFY(release());
        QVERIFY(!history.append(entry(QStringLiteral("F6"), QStringLiteral("ACK"))));
        const QByteArray bytes = readTestFile(path);
        QVERIFY(bytes.endsWith(line(5) + held +
                               Cp932::encode(QStringLiteral("2024/03/05 08:07:06,,,,,,,履歴ﾌｧｲﾙに書き込めなかったため、"
                                                            "ここから2件の履歴を記録していません\r\n")) +
                               line(6)));
        QCOMPARE(history.state(), CycleHistory::State::Written);
    }
};

QTEST_GUILESS_MAIN(TestCycleHistory)
#include "TestCycleHistory.moc"
