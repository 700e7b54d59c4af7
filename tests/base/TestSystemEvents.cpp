// The system log's events as the program writes them against the message table windmc made from the same file for the
// exe: the same IDs with the same severity bits, the same Japanese text after windmc's code page conversion, an English
// text for each; and how insertion strings go in.

#include "base/SystemEvent.h"

#include "fakes/TestFiles.h"

#include <QMap>
#include <QTest>

#include <optional>
#include <vector>

namespace {

// A message table resource as windmc writes it: blocks of consecutive IDs, each entry its length, a flag (1: UTF-16)
// and its text, which ends in a line break and NUL padding. Nothing for a file that is not one.
std::optional<QMap<quint32, QString>> readMessageTable(const QByteArray& bytes)
{
    // A copy of its own: read through QByteArray's shared empty array, GCC's bounds check sees a 1-byte object.
    const std::vector<quint8> data(bytes.cbegin(), bytes.cend());
    const auto fits = [&data](qint64 at, qint64 size) {
        return at >= 0 && size >= 0 && at + size <= qint64(data.size());
    };
    const auto word = [&data](qint64 at) { return quint16(data[size_t(at)] | data[size_t(at) + 1] << 8); };
    const auto dword = [&word](qint64 at) { return quint32(word(at)) | quint32(word(at + 2)) << 16; };
    if (!fits(0, 4)) {
        return std::nullopt;
    }
    QMap<quint32, QString> texts;
    const quint32 blocks = dword(0);
    for (quint32 block = 0; block < blocks; ++block) {
        const qint64 at = 4 + 12 * qint64(block);
        if (!fits(at, 12)) {
            return std::nullopt;
        }
        qint64 entry = dword(at + 8);
        for (quint32 id = dword(at); id <= dword(at + 4); ++id) {
            if (!fits(entry, 4) || word(entry) < 4 || !fits(entry, word(entry)) || word(entry + 2) != 1) {
                return std::nullopt;
            }
            QString text;
            for (qint64 unit = entry + 4; unit + 1 < entry + word(entry); unit += 2) {
                text += QChar(word(unit));
            }
            while (text.endsWith(QChar(0)) || text.endsWith(u'\n') || text.endsWith(u'\r')) {
                text.chop(1);
            }
            texts.insert(id, text);
            entry += word(entry);
        }
    }
    return texts;
}

} // namespace

class TestSystemEvents : public QObject
{
    Q_OBJECT

private slots:
    void theExesMessageTableHoldsEveryEvent()
    {
#ifndef MESSAGES_DIR
        QSKIP("no windmc (MinGW-w64's binutils) to make the message table with");
#else
        const auto japanese = readMessageTable(readTestFile(QStringLiteral(MESSAGES_DIR "/MSG00411.bin")));
        const auto english = readMessageTable(readTestFile(QStringLiteral(MESSAGES_DIR "/MSG00409.bin")));
        QVERIFY(japanese && english);
        QCOMPARE(japanese->keys(), english->keys());
        QCOMPARE(japanese->size(), systemEvents().size());
        // Each number in place of itself gives the text back as the message file has it.
        QStringList numbers;
        for (int n = 1; n <= 9; ++n) {
            numbers << QStringLiteral("%%1").arg(n);
        }
        for (const SystemEvent event : systemEvents()) {
            const quint32 id = systemEventMessageId(event);
            QCOMPARE(id & 0xFFFF, quint32(event));
            QVERIFY2(japanese->contains(id), qPrintable(QString::number(id, 16)));
            QCOMPARE(japanese->value(id), systemEventText(event, numbers));
            QVERIFY(!english->value(id).isEmpty());
        }
        // The numbers and levels IT filters on, and half-width katakana through windmc's conversion.
        QCOMPARE(japanese->value(0x400003E8),
                 QStringLiteral("ZELBO_UDPを起動しました (ﾊﾞｰｼﾞｮﾝ %1, ﾃﾞｰﾀﾌｫﾙﾀﾞ %2, ﾌﾟﾛﾌｧｲﾙ %3, ﾕｰｻﾞｰ %4)"));
        QCOMPARE(japanese->value(0x800007D0), QStringLiteral("障害が続いています : %1"));
        QVERIFY(japanese->value(0xC0000BB8).startsWith(QStringLiteral("通信がｴﾗｰで停止しました。")));
#endif
    }

    void insertionStringsGoInOnceAsTheyStand()
    {
        // A string that holds "%2" is not filled in again; a number past the strings stays empty.
        QCOMPARE(
            systemEventText(SystemEvent::CycleCutBack, {QStringLiteral("C:\\受信\\%2.txt"), QStringLiteral("120")}),
            QStringLiteral("前回途中で終わった書き込みをｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙから取り除きました (120ﾊﾞｲﾄに戻しました) : "
                           "C:\\受信\\%2.txt"));
        QCOMPARE(systemEventText(SystemEvent::MailSignInFailed, {QStringLiteral("smtp.example.jp")}),
                 QStringLiteral("ﾒｰﾙｻｰﾊﾞｰ smtp.example.jp にﾕｰｻﾞｰ  でｻｲﾝｲﾝできません : "));
    }
};

QTEST_GUILESS_MAIN(TestSystemEvents)
#include "TestSystemEvents.moc"
