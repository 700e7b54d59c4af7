// A datagram goes through the receive cut and the frame checks; a frame built from any text by the checksum rules
// must pass the check, and a file-name frame must give back its name and count.

#include "FuzzCheck.h"

#include "base/Cp932.h"
#include "protocol/Frame.h"

#include <cstddef>
#include <cstdint>

namespace {

bool isChecksumText(const QString& sum)
{
    if (sum.size() != 2) {
        return false;
    }
    for (const QChar c : sum) {
        if (!((c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F'))) {
            return false;
        }
    }
    return true;
}

QString withChecksum(const QString& frameWithoutSum, std::int16_t crcType)
{
    const QStringView covered = crcType == 0 ? QStringView(frameWithoutSum) : QStringView(frameWithoutSum).mid(2);
    return frameWithoutSum + CheckSumText(covered);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const auto* chars = reinterpret_cast<const char*>(data);
    const QString received = Cp932::decode(chars, qsizetype(size));
    const QString text = CutToByteCount(received, qsizetype(size));
    FUZZ_CHECK(received.startsWith(text));
    FUZZ_CHECK(Cp932::byteCount(text) < qsizetype(size) || text.isEmpty());

    for (const std::int16_t crcType : {std::int16_t(0), std::int16_t(1)}) {
        for (const int typeCode : {int('#'), int('0'), text.size() > 1 ? codePageCode(text[1]) : 0}) {
            const std::int16_t result = CheckFrame(text, typeCode, crcType);
            FUZZ_CHECK(result == FrameValid || result == FrameFormatError || result == FrameChecksumError);
        }
        FUZZ_CHECK(isChecksumText(CheckSumText(text)));

        // The received text as the data of a record frame.
        const QString sequence = QString(QChar(char16_t(u'0' + size % 10)));
        const QString record = withChecksum(QStringLiteral("^") + sequence + text + QStringLiteral("*"), crcType);
        FUZZ_CHECK(CheckFrame(record, codePageCode(sequence[0]), crcType) == FrameValid);
        FUZZ_CHECK(frameData(record) == text);
        QString tampered = record;
        tampered[tampered.size() - 1] = tampered.back() == u'0' ? u'1' : u'0';
        FUZZ_CHECK(CheckFrame(tampered, codePageCode(sequence[0]), crcType) == FrameChecksumError);

        // The received text, up to its first "@", as the name of a file-name frame.
        const QString name = text.left(text.indexOf(u'@'));
        const int count = int(size * 131 % (MaxAnnouncedCount + 1));
        const QString fileFrame = withChecksum(
            QStringLiteral("^#") + name + QStringLiteral("@") + QString::number(count) + QStringLiteral("*"), crcType);
        FUZZ_CHECK(CheckFrame(fileFrame, codePageCode(u'#'), crcType) == FrameValid);
        const FileNameFrame parsed = parseFileNameFrame(fileFrame);
        FUZZ_CHECK(parsed.hasAt && parsed.name == name && parsed.countFits && parsed.count == count);
    }

    const FileNameFrame parsed = parseFileNameFrame(text);
    FUZZ_CHECK(!parsed.countFits || (parsed.count >= 0 && parsed.count <= MaxAnnouncedCount));
    FUZZ_CHECK(parsed.hasAt || parsed.name.isEmpty());
    return 0;
}
