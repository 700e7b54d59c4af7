#include "config/Cp932.h"

#include <cerrno>
#include <iconv.h>

namespace {

// iconv_open is costly; one descriptor per direction and thread keeps conversion cheap on hot paths.
class IconvHandle
{
public:
    IconvHandle(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~IconvHandle()
    {
        if (m_cd != reinterpret_cast<iconv_t>(-1)) {
            iconv_close(m_cd);
        }
    }
    IconvHandle(const IconvHandle&) = delete;
    IconvHandle& operator=(const IconvHandle&) = delete;
    bool valid() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return m_cd; }
    void reset() const { iconv(m_cd, nullptr, nullptr, nullptr, nullptr); }

private:
    iconv_t m_cd;
};

const IconvHandle& toCp932()
{
    thread_local const IconvHandle handle("CP932", "UTF-16LE");
    return handle;
}

const IconvHandle& fromCp932()
{
    thread_local const IconvHandle handle("UTF-16LE", "CP932");
    return handle;
}

constexpr char16_t ReplacementChar = 0xFFFD;

} // namespace

QByteArray Cp932::encode(QStringView text)
{
    QByteArray out;
    out.reserve(text.size() * 2);
    const IconvHandle& cd = toCp932();
    qsizetype i = 0;
    while (i < text.size()) {
        const char16_t c = text[i].unicode();
        if (c < 0x80) {
            out.append(static_cast<char>(c));
            ++i;
            continue;
        }
        const qsizetype units = (QChar::isHighSurrogate(c) && i + 1 < text.size()) ? 2 : 1;
        char16_t in[2] = {c, units == 2 ? text[i + 1].unicode() : char16_t(0)};
        char buf[8];
        char* inPtr = reinterpret_cast<char*>(in);
        size_t inLeft = units * sizeof(char16_t);
        char* outPtr = buf;
        size_t outLeft = sizeof(buf);
        if (!cd.valid() || iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<size_t>(-1)) {
            cd.reset();
            out.append('?');
        } else {
            out.append(buf, static_cast<qsizetype>(outPtr - buf));
        }
        i += units;
    }
    return out;
}

QString Cp932::decode(const QByteArray& bytes)
{
    return decode(bytes.constData(), bytes.size());
}

QString Cp932::decode(const char* data, qsizetype size)
{
    QString out;
    out.reserve(size);
    const IconvHandle& cd = fromCp932();
    qsizetype i = 0;
    while (i < size) {
        const auto b = static_cast<unsigned char>(data[i]);
        if (b < 0x80) {
            out.append(QChar(char16_t(b)));
            ++i;
            continue;
        }
        // Try one byte, then a lead/trail pair.
        bool done = false;
        for (qsizetype len = 1; len <= 2 && i + len <= size && !done; ++len) {
            char16_t buf[2];
            char* inPtr = const_cast<char*>(data + i);
            size_t inLeft = static_cast<size_t>(len);
            char* outPtr = reinterpret_cast<char*>(buf);
            size_t outLeft = sizeof(buf);
            if (cd.valid() && iconv(cd.get(), &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1) &&
                inLeft == 0) {
                const auto produced = static_cast<qsizetype>((reinterpret_cast<char*>(buf) - outPtr) * -1) / 2;
                out.append(reinterpret_cast<const QChar*>(buf), produced);
                i += len;
                done = true;
            } else {
                cd.reset();
            }
        }
        if (!done) {
            out.append(QChar(ReplacementChar));
            ++i;
        }
    }
    return out;
}

int Cp932::charByteCount(char32_t ucs)
{
    if (ucs < 0x80 || (ucs >= 0xFF61 && ucs <= 0xFF9F)) {
        return 1;
    }
    const char32_t one[1] = {ucs};
    return static_cast<int>(encode(QString::fromUcs4(one, 1)).size());
}

qsizetype Cp932::byteCount(QStringView text)
{
    return encode(text).size();
}
