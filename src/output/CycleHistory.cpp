#include "output/CycleHistory.h"

#include "base/Cp932.h"
#include "base/CrLf.h"
#include "base/SafeFile.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cerrno>
#include <utility>

namespace {

// Excel reads this date and time as one value on a Japanese system.
const QString TimeFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

QString csvField(const QString& text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\r') && !text.contains(u'\n')) {
        return text;
    }
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QByteArray CycleHistory::csvLine(const QStringList& fields)
{
    QStringList quoted;
    quoted.reserve(fields.size());
    for (const QString& field : fields) {
        quoted << csvField(field);
    }
    return Cp932::encode(quoted.join(u',') + CrLf);
}

CycleHistory::CycleHistory(const QString& path, qint64 rollOverBytes) : m_path(path), m_rollOverBytes(rollOverBytes)
{
    m_retry.setInterval(RetryInterval);
    QObject::connect(&m_retry, &QTimer::timeout, &m_retry, [this] { flush(); });
}

CycleHistory::~CycleHistory()
{
    flush();
}

QString CycleHistory::olderPath(const QString& path)
{
    const QFileInfo info(path);
    const QString suffix = info.suffix();
    const QString base = suffix.isEmpty() ? path : path.left(path.size() - suffix.size() - 1);
    return base + QStringLiteral(".old") + (suffix.isEmpty() ? QString() : u'.' + suffix);
}

QByteArray CycleHistory::headerLine()
{
    return csvLine({QStringLiteral("日時"), QStringLiteral("端末ﾌｧｲﾙ名"), QStringLiteral("ﾚｺｰﾄﾞ件数"),
                    QStringLiteral("受信件数"), QStringLiteral("応答"), QStringLiteral("ｱｯﾌﾟﾛｰﾄﾞﾌｧｲﾙ"),
                    QStringLiteral("ﾒｰﾙ結果"), QStringLiteral("異常内容")});
}

QByteArray CycleHistory::entryLine(const CycleHistoryEntry& entry)
{
    return csvLine({entry.time.toString(TimeFormat), entry.terminalFile, QString::number(entry.announcedCount),
                    QString::number(entry.receivedCount), entry.answer, entry.uploadFile, entry.mailResult,
                    entry.failure});
}

QByteArray CycleHistory::droppedLine(const QDateTime& firstTime, int count)
{
    return csvLine({firstTime.toString(TimeFormat), QString(), QString(), QString(), QString(), QString(), QString(),
                    QStringLiteral("履歴ﾌｧｲﾙに書き込めなかったため、ここから%1件の履歴を記録していません").arg(count)});
}

std::optional<SystemError> CycleHistory::append(const CycleHistoryEntry& entry) noexcept
{
    try {
        const QByteArray line = entryLine(entry);
        auto error = writeWaiting(line);
        if (error) {
            hold(line, entry.time);
        }
        return error;
    } catch (...) {
        // Out of memory at worst: the cycle goes on without its history line.
        return SystemError::fromErrno(ENOMEM);
    }
}

CycleHistory::State CycleHistory::state() const
{
    return m_dropped > 0 ? State::Dropping : !m_held.isEmpty() ? State::Holding : State::Written;
}

std::optional<SystemError> CycleHistory::writeWaiting(const QByteArray& line)
{
    QByteArray bytes;
    for (const QByteArray& held : std::as_const(m_held)) {
        bytes += held;
    }
    // The dropped lines came after every held one.
    if (m_dropped > 0) {
        bytes += droppedLine(m_firstDropped, m_dropped);
    }
    bytes += line;
    if (bytes.isEmpty()) {
        return std::nullopt;
    }
    if (auto error = appendLine(bytes)) {
        return error;
    }
    m_held.clear();
    m_dropped = 0;
    m_retry.stop();
    return std::nullopt;
}

void CycleHistory::hold(const QByteArray& line, const QDateTime& time)
{
    if (m_held.size() < MaxHeldLines) {
        m_held.append(line);
    } else if (m_dropped++ == 0) {
        m_firstDropped = time;
    }
    if (!m_retry.isActive()) {
        m_retry.start();
    }
}

void CycleHistory::flush() noexcept
{
    try {
        (void)writeWaiting(QByteArray());
    } catch (...) {
        // Out of memory at worst: the lines wait for the next try.
    }
}

std::optional<SystemError> CycleHistory::appendLine(const QByteArray& line)
{
    qint64 size = QFileInfo(m_path).size();
    if (size > 0 && size + line.size() > m_rollOverBytes) {
        rollOver();
        size = QFileInfo(m_path).size();
    }
    // A new or emptied file starts with the column names.
    const QByteArray bytes = size > 0 ? line : headerLine() + line;
    if (auto failure = SafeFile::writeFile(m_path, bytes, SafeFile::Mode::Append)) {
        return failure->error;
    }
    return std::nullopt;
}

void CycleHistory::rollOver()
{
    // Best effort: where the older file cannot go (open in Excel, say), the history grows past the bound for now and
    // the next line tries again.
    const QString older = olderPath(m_path);
    if (QFile::exists(older) && !QFile::remove(older)) {
        return;
    }
    QFile::rename(m_path, older);
}
