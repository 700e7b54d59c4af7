#include "output/UploadFileWriter.h"

#include "base/MessageSink.h"
#include "base/SafeFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>

#include <cstring>
#include <functional>
#include <vector>

namespace {

// Large blocks keep the system-call count low; a line longer than a block grows the buffers.
constexpr qsizetype ReadBlockBytes = qsizetype(1) << 20;
constexpr qsizetype WriteBlockBytes = qsizetype(1) << 20;

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

// Reads the staging file from its start and hands the upload lines it makes to sink, a block at a time. False after a
// read error (readError set) or when sink refuses a block.
bool convertStaging(QFile& staging, const FieldMask& mask, const std::function<bool(const char*, qsizetype)>& sink,
                    QString& readError)
{
    std::vector<char> out(static_cast<std::size_t>(WriteBlockBytes));
    qsizetype used = 0;

    const auto addLine = [&](const char* begin, const char* end) {
        const qsizetype need = (end - begin) + 2;
        if (used + need > qsizetype(out.size())) {
            if (!sink(out.data(), used)) {
                return false;
            }
            used = 0;
            if (need > qsizetype(out.size())) {
                out.resize(std::size_t(need));
            }
        }
        char* tail = copySelected(begin, end, mask, out.data() + used);
        *tail++ = '\r';
        *tail++ = '\n';
        used = tail - out.data();
        return true;
    };

    if (!staging.seek(0)) {
        readError = staging.errorString();
        return false;
    }
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
                if (!addLine(pos, lf - 1)) {
                    return false;
                }
                pos = lf + 1;
            }
            search = lf + 1;
        }
        if (got == 0) {
            // A last line without its line end still counts.
            if (pos != end && !addLine(pos, end)) {
                return false;
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
    return sink(out.data(), used);
}

} // namespace

std::optional<UploadFileWriter::Block> UploadFileWriter::measure(const QString& stagingPath,
                                                                 const FieldFlags& fieldSelect)
{
    QFile staging;
    if (const auto error = SafeFile::openRegular(staging, stagingPath, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        fail(error->description, stagingPath);
        return std::nullopt;
    }
    Block block;
    QCryptographicHash hash(QCryptographicHash::Sha256);
    const auto sink = [&](const char* data, qsizetype size) {
        hash.addData(QByteArrayView(data, size));
        block.length += size;
        return true;
    };
    QString readError;
    if (!convertStaging(staging, makeMask(fieldSelect), sink, readError)) {
        fail(readError, stagingPath);
        return std::nullopt;
    }
    block.digest = hash.result();
    return block;
}

std::optional<QByteArray> UploadFileWriter::render(const QString& stagingPath, const FieldFlags& fieldSelect)
{
    QFile staging;
    if (SafeFile::openRegular(staging, stagingPath, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return std::nullopt;
    }
    QByteArray lines;
    const auto sink = [&lines](const char* data, qsizetype size) {
        lines.append(data, size);
        return true;
    };
    QString readError;
    if (!convertStaging(staging, makeMask(fieldSelect), sink, readError)) {
        return std::nullopt;
    }
    return lines;
}

bool UploadFileWriter::write(const QString& stagingPath, const QString& uploadPath, std::int16_t overWrite,
                             const FieldFlags& fieldSelect, bool holdAppend)
{
    m_heldAppend.reset();
    // The staging file is opened first, so that a missing one cannot empty an upload file in overwrite mode.
    QFile staging;
    if (const auto error = SafeFile::openRegular(staging, stagingPath, QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return fail(error->description, stagingPath);
    }
    // A save folder beside the program and the name "Back" make the upload file the staging file itself: overwrite
    // would empty it before it is read and append would read it forever, and the terminal would be told "ACK".
    if (SafeFile::isSameFile(staging, uploadPath)) {
        return fail(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙと作業ﾌｧｲﾙが同じﾌｧｲﾙです"), uploadPath);
    }
    auto uploadFile = std::make_unique<SafeFile>(uploadPath);
    SafeFile& upload = *uploadFile;
    if (const auto error = upload.open(overWrite == 1 ? SafeFile::Mode::Replace : SafeFile::Mode::Append)) {
        return fail(error->description, uploadPath);
    }

    bool writeFailed = false;
    const auto sink = [&](const char* data, qsizetype size) {
        if (const auto error = upload.write(data, size)) {
            writeFailed = true;
            return fail(error->description, uploadPath);
        }
        return true;
    };
    QString readError;
    if (!convertStaging(staging, makeMask(fieldSelect), sink, readError)) {
        if (writeFailed) {
            return false;
        }
        // Half a file would be acknowledged as the whole one: the upload file goes back to what it was.
        upload.rollback();
        return fail(readError, stagingPath);
    }
    if (holdAppend && overWrite != 1) {
        if (const auto error = upload.prepare()) {
            return fail(error->description, uploadPath);
        }
        m_heldAppend = std::move(uploadFile);
        return true;
    }
    if (const auto error = upload.commit()) {
        return fail(error->description, uploadPath);
    }
    return true;
}

void UploadFileWriter::keepAppend()
{
    if (m_heldAppend) {
        // Already on disk: closing cannot fail in a way that loses it.
        (void)m_heldAppend->commit();
        m_heldAppend.reset();
    }
}

std::optional<SystemError> UploadFileWriter::undoAppend()
{
    if (!m_heldAppend) {
        return std::nullopt;
    }
    auto error = m_heldAppend->rollback();
    m_heldAppend.reset();
    return error;
}

void UploadFileWriter::appendSelectedFields(std::string_view line, const FieldFlags& fieldSelect, QByteArray& out)
{
    const qsizetype start = out.size();
    out.resize(start + qsizetype(line.size()));
    const char* begin = line.data();
    char* tail = copySelected(begin, begin + line.size(), makeMask(fieldSelect), out.data() + start);
    out.resize(tail - out.constData());
}

bool UploadFileWriter::fail(const QString& description, const QString& path)
{
    // The source name is the file, quoted the Japanese way, so that no separator is needed after the description.
    const QString source = QStringLiteral("「") + QDir::toNativeSeparators(path) + QStringLiteral("」");
    m_messages.showMessageNoWait(description + source, m_title, MessageIcon::None);
    return false;
}
