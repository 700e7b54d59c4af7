#include "output/CycleJournal.h"

#include "base/SafeFile.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QList>

#include <algorithm>

namespace {

const QByteArray Magic = QByteArrayLiteral("ZELBO_UDP cycle journal 1");
// Far above any journal this program writes: anything longer is not one of its own.
constexpr qint64 MaxJournalBytes = 64 * 1024;

QByteArray checkOf(const QByteArray& body)
{
    return QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex();
}

std::optional<qint64> parseLength(const QByteArray& text, bool allowAbsent)
{
    if (allowAbsent && text == "absent") {
        return -1;
    }
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < 0 || text.startsWith('+')) {
        return std::nullopt;
    }
    return value;
}

struct Tail
{
    qint64 length = 0;
    QByteArray digest;
};

// Length and SHA-256 of path's bytes from offset to its end; nothing when it cannot be read that far.
std::optional<Tail> tailOf(const QString& path, qint64 offset)
{
    QFile file;
    if (SafeFile::openRegular(file, path, QIODevice::ReadOnly)) {
        return std::nullopt;
    }
    const qint64 size = file.size();
    if (size < offset || !file.seek(offset)) {
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        return std::nullopt;
    }
    return Tail{size - offset, hash.result()};
}

} // namespace

CycleJournal::CycleJournal(QString path) : m_path(std::move(path)) {}

QByteArray CycleJournal::encode(const JournalEntry& entry)
{
    QByteArray body = Magic + '\n';
    body += "path=" + entry.uploadPath.toUtf8().toPercentEncoding() + '\n';
    body += QByteArray("mode=") + (entry.append ? "append" : "replace") + '\n';
    body += "before=" + (entry.oldLength < 0 ? QByteArray("absent") : QByteArray::number(entry.oldLength)) + '\n';
    body += "length=" + QByteArray::number(entry.blockLength) + '\n';
    body += "digest=" + entry.digest.toHex() + '\n';
    body += QByteArray("mail=") + (entry.mailAccepted ? "1" : "0") + '\n';
    // A journal cut short by a crash has no check line, or one that does not match.
    return body + "check=" + checkOf(body) + '\n';
}

std::optional<JournalEntry> CycleJournal::decode(const QByteArray& bytes)
{
    const qsizetype checkAt = bytes.lastIndexOf("check=");
    if (checkAt <= 0 || !bytes.endsWith('\n') || bytes.at(checkAt - 1) != '\n') {
        return std::nullopt;
    }
    const QByteArray body = bytes.left(checkAt);
    if (bytes.mid(checkAt + 6).chopped(1) != checkOf(body)) {
        return std::nullopt;
    }
    QList<QByteArray> lines = body.split('\n');
    lines.removeLast();
    if (lines.size() != 7 || lines.at(0) != Magic) {
        return std::nullopt;
    }
    const char* const keys[] = {"path=", "mode=", "before=", "length=", "digest=", "mail="};
    QList<QByteArray> values;
    for (int i = 0; i < 6; ++i) {
        if (!lines.at(i + 1).startsWith(keys[i])) {
            return std::nullopt;
        }
        values.append(lines.at(i + 1).mid(qsizetype(qstrlen(keys[i]))));
    }
    JournalEntry entry;
    entry.uploadPath = QString::fromUtf8(QByteArray::fromPercentEncoding(values.at(0)));
    if (values.at(1) != "append" && values.at(1) != "replace") {
        return std::nullopt;
    }
    entry.append = values.at(1) == "append";
    const auto before = parseLength(values.at(2), true);
    const auto length = parseLength(values.at(3), false);
    entry.digest = QByteArray::fromHex(values.at(4));
    if (entry.uploadPath.isEmpty() || !before || !length || entry.digest.size() != 32 ||
        (values.at(5) != "0" && values.at(5) != "1")) {
        return std::nullopt;
    }
    entry.oldLength = *before;
    entry.blockLength = *length;
    entry.mailAccepted = values.at(5) == "1";
    return entry;
}

CycleJournal::Reading CycleJournal::read() const
{
    Reading reading;
    if (!QFileInfo::exists(m_path)) {
        return reading;
    }
    reading.state = State::Unreadable;
    QFile file;
    if (SafeFile::openRegular(file, m_path, QIODevice::ReadOnly)) {
        return reading;
    }
    const QByteArray bytes = file.read(MaxJournalBytes + 1);
    if (bytes.size() > MaxJournalBytes) {
        return reading;
    }
    if (const auto entry = decode(bytes)) {
        reading.state = State::Present;
        reading.entry = *entry;
    }
    return reading;
}

std::optional<SystemError> CycleJournal::write(const JournalEntry& entry)
{
    if (auto failure = SafeFile::writeFile(m_path, encode(entry), SafeFile::Mode::Replace)) {
        return failure->error;
    }
    return std::nullopt;
}

std::optional<SystemError> CycleJournal::clear()
{
    if (!QFileInfo::exists(m_path)) {
        return std::nullopt;
    }
    return SafeFile::restoreLength(m_path, -1);
}

bool CycleJournal::holdsBlock(const JournalEntry& entry)
{
    const auto tail = tailOf(entry.uploadPath, entry.append ? std::max<qint64>(entry.oldLength, 0) : 0);
    return tail && tail->length == entry.blockLength && tail->digest == entry.digest;
}

bool CycleJournal::tailIsOwnBlock(const JournalEntry& entry, qint64 length, const std::optional<QByteArray>& block)
{
    const qint64 base = std::max<qint64>(entry.oldLength, 0);
    if (!block || block->size() != entry.blockLength ||
        QCryptographicHash::hash(*block, QCryptographicHash::Sha256) != entry.digest) {
        // The staging file no longer makes that block: nothing tells whose the bytes are, so they stay.
        return length == base;
    }
    QFile upload;
    if (SafeFile::openRegular(upload, entry.uploadPath, QIODevice::ReadOnly) || !upload.seek(base)) {
        return false;
    }
    const QByteArray tail = upload.read(length - base);
    if (tail.size() != length - base) {
        return false;
    }
    // A power cut can leave the file longer than what reached the disk, the rest read as zeros.
    for (qsizetype i = 0; i < tail.size(); ++i) {
        if (tail[i] != block->at(i) && tail[i] != '\0') {
            return false;
        }
    }
    return true;
}
