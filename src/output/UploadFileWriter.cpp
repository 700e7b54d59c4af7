#include "output/UploadFileWriter.h"

#include "base/MessageSink.h"
#include "base/SafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

// Few system calls for a large staging file, and little memory beside the lines it makes, which stay in memory
// until they are stored; a line longer than a block grows the buffer.
constexpr qsizetype ReadBlockBytes = qsizetype(64) << 10;

struct FieldMask
{
    std::uint32_t kept = 0;
    int last = -1; // 0-based index of the last kept field; -1 when none is kept
};

FieldMask makeMask(const UploadFileWriter::FieldFlags& flags)
{
    FieldMask mask;
    for (int i = 0; i < Settings::FieldCount; ++i) {
        if (flags[i] == 1) {
            mask.kept |= std::uint32_t(1) << i;
            mask.last = i;
        }
    }
    return mask;
}

// Writes the kept fields of [pos, end) to out and returns the new end of out. out needs room for end - pos bytes:
// every "," written stands for one in the line. The 20th field also ends at the next ","; the rest is dropped.
char* copySelected(const char* pos, const char* end, const FieldMask& mask, char* out)
{
    bool first = true;
    for (int i = 0; i <= mask.last; ++i) {
        const auto* comma =
            pos != end ? static_cast<const char*>(std::memchr(pos, ',', std::size_t(end - pos))) : nullptr;
        const char* fieldEnd = comma != nullptr ? comma : end;
        if ((mask.kept & (std::uint32_t(1) << i)) != 0) {
            if (!first) {
                *out++ = ',';
            }
            first = false;
            if (fieldEnd != pos) {
                std::memcpy(out, pos, std::size_t(fieldEnd - pos));
                out += fieldEnd - pos;
            }
        }
        if (comma == nullptr) {
            break;
        }
        pos = comma + 1;
    }
    return out;
}

} // namespace

UploadFileWriter::UploadFileWriter(MessageSink& messages, const QString& title) : m_messages(messages), m_title(title)
{
}

namespace {

// Reads the staging file from its start into the upload lines it makes. False after a read error (readError set).
bool convertStaging(QFile& staging, const FieldMask& mask, QByteArray& lines, QString& readError)
{
    // No line grows but a last one without its line end: room for the whole file is room for every line, taken once
    // and only as far as it is written.
    qsizetype used = 0;
    lines.reserve(staging.size() + 2);
    lines.resize(lines.capacity());

    const auto addLine = [&](const char* begin, const char* end) {
        const qsizetype need = (end - begin) + 2;
        if (used + need > lines.size()) {
            // The file grew since its size was read.
            lines.resize(std::max(used + need, lines.size() * 2));
        }
        char* tail = copySelected(begin, end, mask, lines.data() + used);
        *tail++ = '\r';
        *tail++ = '\n';
        used = tail - lines.constData();
    };

    // Lines end at CR LF only, as the run writes them: a record holding a LF or a lone CR stays one line.
    std::vector<char> in(static_cast<std::size_t>(ReadBlockBytes));
    qsizetype held = 0;
    qsizetype searched = 0; // bytes at the front of `in` already searched for LF
    for (;;) {
        const qint64 got = staging.read(in.data() + held, qint64(in.size()) - held);
        if (got < 0) {
            readError = staging.errorString();
            return false;
        }
        held += got;
        const char* pos = in.data();
        const char* const end = pos + held;
        const char* search = pos + searched;
        while (const auto* lf = static_cast<const char*>(std::memchr(search, '\n', std::size_t(end - search)))) {
            if (lf != pos && lf[-1] == '\r') {
                addLine(pos, lf - 1);
                pos = lf + 1;
            }
            search = lf + 1;
        }
        if (got == 0) {
            // A last line without its line end still counts.
            if (pos != end) {
                addLine(pos, end);
            }
            break;
        }
        held = end - pos;
        searched = held;
        std::memmove(in.data(), pos, std::size_t(held));
        if (held == qsizetype(in.size())) {
            in.resize(in.size() * 2);
        }
    }
    lines.resize(used);
    return true;
}

} // namespace

std::optional<UploadFileWriter::Block> UploadFileWriter::render(const QString& stagingPath, const QString& uploadPath,
                                                                const FieldFlags& fieldSelect)
{
    auto lines = renderLines(stagingPath, uploadPath, fieldSelect);
    if (!lines) {
        return std::nullopt;
    }
    QByteArray digest = QCryptographicHash::hash(*lines, QCryptographicHash::Sha256);
    return Block{std::move(*lines), std::move(digest)};
}

std::optional<QByteArray> UploadFileWriter::renderLines(const QString& stagingPath, const QString& uploadPath,
                                                        const FieldFlags& fieldSelect)
{
    QFile staging;
    if (const auto error = SafeFile::openRegular(staging, stagingPath, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(error->description, stagingPath);
        return std::nullopt;
    }
    // A save folder beside the program and the name "Back" make the upload file the staging file itself: overwrite
    // would empty it before it is read and append would read it forever, and the terminal would be told "ACK".
    if (SafeFile::isSameFile(staging, uploadPath)) {
        fail(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙと作業ﾌｧｲﾙが同じﾌｧｲﾙです"), uploadPath);
        return std::nullopt;
    }
    QByteArray lines;
    QString readError;
    if (!convertStaging(staging, makeMask(fieldSelect), lines, readError)) {
        fail(readError, stagingPath);
        return std::nullopt;
    }
    return lines;
}

std::optional<QByteArray> UploadFileWriter::renderQuietly(const QString& stagingPath, const FieldFlags& fieldSelect)
{
    QFile staging;
    if (SafeFile::openRegular(staging, stagingPath, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return std::nullopt;
    }
    QByteArray lines;
    QString readError;
    if (!convertStaging(staging, makeMask(fieldSelect), lines, readError)) {
        return std::nullopt;
    }
    return lines;
}

bool UploadFileWriter::store(QByteArrayView lines, const QString& uploadPath, std::int16_t overWrite)
{
    const auto upload = put(lines, uploadPath, overWrite == 1 ? SafeFile::Mode::Replace : SafeFile::Mode::Append);
    if (!upload) {
        return false;
    }
    if (const auto error = upload->commit()) {
        return fail(error->description, uploadPath);
    }
    return true;
}

UploadFileWriter::HeldAppend UploadFileWriter::holdAppend(QByteArrayView lines, const QString& uploadPath)
{
    auto upload = put(lines, uploadPath, SafeFile::Mode::Append);
    if (!upload) {
        return nullptr;
    }
    if (const auto error = upload->prepare()) {
        fail(error->description, uploadPath);
        return nullptr;
    }
    return upload;
}

bool UploadFileWriter::write(const QString& stagingPath, const QString& uploadPath, std::int16_t overWrite,
                             const FieldFlags& fieldSelect)
{
    // No digest: nothing journals these lines.
    const auto lines = renderLines(stagingPath, uploadPath, fieldSelect);
    return lines && store(*lines, uploadPath, overWrite);
}

std::unique_ptr<SafeFile> UploadFileWriter::put(QByteArrayView lines, const QString& uploadPath, SafeFile::Mode mode)
{
    auto upload = std::make_unique<SafeFile>(uploadPath);
    if (auto error = upload->open(mode)) {
        fail(error->description, uploadPath);
        return nullptr;
    }
    if (auto error = upload->write(lines.data(), lines.size())) {
        fail(error->description, uploadPath);
        return nullptr;
    }
    return upload;
}

void UploadFileWriter::appendSelectedFields(std::string_view line, const FieldFlags& fieldSelect, QByteArray& out)
{
    const qsizetype start = out.size();
    out.resize(start + qsizetype(line.size()));
    const char* begin = line.data();
    char* tail = copySelected(begin, begin + line.size(), makeMask(fieldSelect), out.data() + start);
    out.resize(tail - out.constData());
}

QString UploadFileWriter::failureText(const QString& description, const QString& path)
{
    // The source name is the file, quoted the Japanese way, so that no separator is needed after the description.
    return description + QStringLiteral("「") + QDir::toNativeSeparators(path) + QStringLiteral("」");
}

bool UploadFileWriter::fail(const QString& description, const QString& path)
{
    m_messages.showMessageNoWait(failureText(description, path), m_title, MessageIcon::None);
    return false;
}
