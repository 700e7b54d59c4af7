#include "protocol/Frame.h"

#include "base/Cp932.h"
#include "base/TextNumber.h"

#include <cmath>

namespace {

// Half to the even neighbour, as the terminal's count is rounded.
double roundHalfEven(double v)
{
    double r = std::floor(v);
    const double diff = v - r;
    if (diff > 0.5 || (diff == 0.5 && std::fmod(r, 2.0) != 0.0)) {
        r += 1.0;
    }
    return r;
}

} // namespace

QString CutToByteCount(QString text, qsizetype byteCount)
{
    // The cut is found first and made in place: every datagram passes through here.
    const QStringView chars(text);
    qsizetype counter = 0;
    qsizetype i = 0;
    while (i < chars.size()) {
        if (counter >= byteCount - 1) {
            text.truncate(i);
            return text;
        }
        const QChar c = chars[i];
        qsizetype units = 1;
        char32_t ucs = c.unicode();
        if (c.isHighSurrogate() && i + 1 < chars.size() && chars[i + 1].isLowSurrogate()) {
            ucs = QChar::surrogateToUcs4(c, chars[i + 1]);
            units = 2;
        }
        counter += Cp932::charByteCount(ucs);
        i += units;
    }
    // Every character fitted: the last one was double-byte, so the datagram had no terminator byte.
    return {};
}

QString CheckSumText(QStringView text)
{
    const QByteArray bytes = Cp932::encode(text);
    unsigned sum = 0;
    for (const char b : bytes) {
        sum = (sum + static_cast<unsigned char>(b)) % 256U;
    }
    return QString::number(sum, 16).toUpper().rightJustified(2, u'0');
}

int codePageCode(QChar c)
{
    if (c.unicode() < 0x80) {
        return c.unicode();
    }
    const QByteArray bytes = Cp932::encode(QStringView(&c, 1));
    if (bytes.size() == 1) {
        // Unencodable characters come out as "?", which is no real code of theirs.
        return bytes[0] == '?' ? -1 : static_cast<unsigned char>(bytes[0]);
    }
    if (bytes.size() == 2) {
        return static_cast<unsigned char>(bytes[0]) * 256 + static_cast<unsigned char>(bytes[1]);
    }
    return -1;
}

std::int16_t CheckFrame(QStringView text, int typeCode, std::int16_t crcType)
{
    const qsizetype length = text.size();
    if (length < 3) {
        return FrameFormatError;
    }
    if (text[0] != u'^' || codePageCode(text[1]) != typeCode || text[length - 3] != u'*') {
        return FrameFormatError;
    }
    const QStringView received = text.right(2);
    const QStringView covered = crcType == 0 ? text.left(length - 2) : text.mid(2, std::max<qsizetype>(0, length - 4));
    return CheckSumText(covered) == received ? FrameValid : FrameChecksumError;
}

QString frameData(QStringView frame)
{
    if (frame.size() < 5) {
        return {};
    }
    return frame.mid(2, frame.size() - 5).toString();
}

FileNameFrame parseFileNameFrame(QStringView frame)
{
    FileNameFrame result;
    const qsizetype at = frame.size() > 2 ? frame.indexOf(u'@', 2) : -1;
    if (at < 0) {
        // No count either: it reads as 0.
        result.countFits = true;
        return result;
    }
    result.hasAt = true;
    result.name = frame.mid(2, at - 2).toString();
    const double rounded = roundHalfEven(leadingNumber(frame.mid(at + 1)));
    result.countFits = rounded >= 0.0 && rounded <= MaxAnnouncedCount;
    result.count = result.countFits ? static_cast<int>(rounded) : 0;
    return result;
}

char16_t previousSeqChar(char16_t seq)
{
    return seq == u'0' ? u'9' : static_cast<char16_t>(seq - 1);
}

char16_t nextSeqChar(char16_t seq)
{
    return seq == u'9' ? u'0' : static_cast<char16_t>(seq + 1);
}

RecordReply classifyRecordReply(QStringView reply, bool simple, char16_t seqChar, bool retryLeft)
{
    if (reply.isEmpty()) {
        return retryLeft ? RecordReply::TimeOut : RecordReply::TimedOut;
    }
    if (!simple && reply.size() >= 2 && reply[0] == u'^' && reply[1] == previousSeqChar(seqChar)) {
        return RecordReply::Repeat;
    }
    return reply == u"END" ? RecordReply::End : RecordReply::Record;
}
