#include "output/UploadFileWriter.h"

#include "config/MessageSink.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

QString errnoText(int error)
{
    return QString::fromLocal8Bit(std::strerror(error));
}

// fsync fails with EINVAL only for files that cannot be synchronised at all (devices, pipes); nothing is pending then.
int syncDescriptor(int fd)
{
    if (::fsync(fd) == 0 || errno == EINVAL) {
        return 0;
    }
    return errno;
}

// A newly created file survives a power cut only once its directory entry is on disk too. A folder we may not open
// for reading cannot be synchronised by us; the file's own data has been synchronised already.
int syncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        return 0;
    }
    const int result = syncDescriptor(fd);
    ::close(fd);
    return result;
}

// True when path names the already opened file (the same inode, however the path is spelt).
bool isSameFile(const QFile& opened, const QString& path)
{
    struct stat openedStat = {};
    struct stat pathStat = {};
    if (::fstat(opened.handle(), &openedStat) != 0 || ::stat(QFile::encodeName(path).constData(), &pathStat) != 0) {
        return false;
    }
    return openedStat.st_dev == pathStat.st_dev && openedStat.st_ino == pathStat.st_ino;
}

} // namespace

UploadFileWriter::UploadFileWriter(MessageSink& messages, const QString& title) : m_messages(messages), m_title(title)
{
}

bool UploadFileWriter::write(const QString& stagingPath, const QString& uploadPath, std::int16_t overWrite,
                             const FieldFlags& fieldSelect)
{
    // The staging file is opened first, so that a missing one cannot empty an upload file in overwrite mode.
    QFile staging(stagingPath);
    if (!staging.open(QIODevice::ReadOnly | QIODevice::Unbuffered)) {
        return fail(staging.errorString(), stagingPath);
    }
    // A save folder beside the program and the name "Back" make the upload file the staging file itself: overwrite
    // would empty it before it is read and append would read it forever, and the terminal would be told "ACK".
    if (isSameFile(staging, uploadPath)) {
        return fail(QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙと作業ﾌｧｲﾙが同じﾌｧｲﾙです"), uploadPath);
    }
    const bool existed = QFileInfo::exists(uploadPath);
    QFile upload(uploadPath);
    const QIODevice::OpenMode how = overWrite == 1 ? QIODevice::Truncate : QIODevice::Append;
    if (!upload.open(QIODevice::WriteOnly | QIODevice::Unbuffered | how)) {
        return fail(upload.errorString(), uploadPath);
    }

    const FieldMask mask = makeMask(fieldSelect);
    std::vector<char> out(static_cast<std::size_t>(WriteBlockBytes));
    qsizetype used = 0;

    const auto flush = [&]() {
        qsizetype done = 0;
        while (done < used) {
            // A short count comes before the error: the next call reports it.
            const qint64 written = upload.write(out.data() + done, used - done);
            if (written <= 0) {
                return fail(upload.errorString(), uploadPath);
            }
            done += written;
        }
        used = 0;
        return true;
    };

    const auto addLine = [&](const char* begin, const char* end) {
        if (end != begin && end[-1] == '\r') {
            --end;
        }
        const qsizetype need = (end - begin) + 2;
        if (used + need > qsizetype(out.size())) {
            if (!flush()) {
                return false;
            }
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

    std::vector<char> in(static_cast<std::size_t>(ReadBlockBytes));
    qsizetype held = 0;
    for (;;) {
        const qint64 got = staging.read(in.data() + held, qint64(in.size()) - held);
        if (got < 0) {
            // The lines produced so far stay in the upload file, as on a write error.
            const QString error = staging.errorString();
            return flush() && fail(error, stagingPath);
        }
        held += got;
        const char* pos = in.data();
        const char* const end = pos + held;
        while (const auto* lf = static_cast<const char*>(std::memchr(pos, '\n', std::size_t(end - pos)))) {
            if (!addLine(pos, lf)) {
                return false;
            }
            pos = lf + 1;
        }
        if (got == 0) {
            // A last line without its line end still counts.
            if (pos != end && !addLine(pos, end)) {
                return false;
            }
            break;
        }
        held = end - pos;
        std::memmove(in.data(), pos, std::size_t(held));
        if (held == qsizetype(in.size())) {
            in.resize(in.size() * 2);
        }
    }
    if (!flush()) {
        return false;
    }

    if (const int error = syncDescriptor(upload.handle()); error != 0) {
        return fail(errnoText(error), uploadPath);
    }
    if (!existed) {
        if (const int error = syncFolderOf(uploadPath); error != 0) {
            return fail(errnoText(error), uploadPath);
        }
    }
    upload.close();
    return true;
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
    m_messages.showMessage(description + source, m_title, MessageIcon::None);
    return false;
}
