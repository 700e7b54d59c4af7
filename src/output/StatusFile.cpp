#include "output/StatusFile.h"

#include "base/SafeFile.h"
#include "output/StatusReport.h"
#include "protocol/RunTexts.h"

#include <QDir>
#include <QFileInfo>

#include <atomic>
#include <memory>
#include <utility>

StatusFile::CopyWriter StatusFile::shareWriter()
{
    auto cleaned = std::make_shared<std::atomic_bool>(false);
    return [cleaned](const QString& path, const QByteArray& bytes) -> std::optional<SystemError> {
        if (!cleaned->exchange(true)) {
            SafeFile::removeStaleTemporaries(path);
        }
        if (const auto failure = SafeFile::writeFile(path, bytes, SafeFile::Mode::Replace)) {
            return failure->error;
        }
        return std::nullopt;
    };
}

StatusFile::StatusFile(const StatusIdentity& identity, const QString& path, const QString& statusFolder)
    : m_identity(identity), m_path(path), m_writeCopy(shareWriter())
{
    useStatusFolder(statusFolder);
    m_rewrite.setInterval(RewriteInterval);
    QObject::connect(&m_rewrite, &QTimer::timeout, &m_rewrite, [this] { write(); });
    m_rewrite.start();
}

void StatusFile::setStatusFolder(const QString& statusFolder)
{
    if (QDir::toNativeSeparators(statusFolder) == m_statusFolder) {
        return;
    }
    useStatusFolder(statusFolder);
    write();
}

void StatusFile::useStatusFolder(const QString& statusFolder)
{
    m_statusFolder = QDir::toNativeSeparators(statusFolder);
    m_copyPath.clear();
    if (!statusFolder.isEmpty()) {
        m_copyPath = QDir::toNativeSeparators(
            QDir(statusFolder).filePath(statusCopyName(m_identity.pc, m_identity.user, m_identity.profile)));
    }
    // A failure in the new folder is said again.
    m_copySaid = false;
}

void StatusFile::cycleEnded(const CycleRecorder::CycleNotice& cycle)
{
    m_tracker.cycleEnded(cycle);
    write();
}

void StatusFile::setPolling(bool polling)
{
    m_tracker.setPolling(polling);
    write();
}

StatusRecord StatusFile::record() const
{
    StatusRecord record;
    record.version = m_identity.version;
    record.pc = m_identity.pc;
    record.user = m_identity.user;
    record.profile = m_identity.profile;
    record.dataFolder = m_identity.dataFolder;
    record.written = QDateTime::currentDateTime();
    m_tracker.fill(record, record.written);
    record.statusFolder = m_statusFolder;
    record.copiesFailed = m_copiesFailed;
    record.copiesSkipped = m_copiesSkipped;
    return record;
}

void StatusFile::write()
{
    // A rewrite is due 5 minutes after the latest write, whatever made it.
    m_rewrite.start();
    const QByteArray bytes = statusJson(record());
    if (const auto failure = SafeFile::writeFile(m_path, bytes, SafeFile::Mode::Replace)) {
        failed(m_localSaid, QFileInfo(m_path).absolutePath(), fileErrorNumberText(failure->error));
    } else {
        m_localSaid = false;
    }
    startCopy(bytes);
}

void StatusFile::startCopy(const QByteArray& bytes)
{
    if (m_copyPath.isEmpty()) {
        return;
    }
    if (m_copy.busy()) {
        // Never queued further: an older copy that still waits would only be overtaken by this one.
        if (m_waitingCopy) {
            ++m_copiesSkipped;
        }
        m_waitingCopy = bytes;
        if (m_copyStarted.elapsed() >= m_slowCopyAfter.count()) {
            failed(m_copySaid, m_statusFolder, QStringLiteral(" 前回の書き込みが終わっていません"));
        }
        return;
    }
    (void)m_copy.start([writer = m_writeCopy, path = m_copyPath, bytes] { return writer(path, bytes); },
                       [this](const std::optional<SystemError>& error) { copyDone(error); });
    m_copyStarted.start();
}

void StatusFile::copyDone(const std::optional<SystemError>& error)
{
    if (error) {
        ++m_copiesFailed;
        failed(m_copySaid, m_statusFolder, fileErrorNumberText(*error));
    } else {
        m_copySaid = false;
    }
    if (auto waiting = std::exchange(m_waitingCopy, std::nullopt)) {
        startCopy(*waiting);
    }
}

void StatusFile::failed(bool& said, const QString& folder, const QString& why)
{
    if (said) {
        return;
    }
    said = true;
    if (m_line) {
        m_line(QStringLiteral("状態ﾌｧｲﾙを ") + QDir::toNativeSeparators(folder) +
               QStringLiteral(" に書き込めません :") + why);
    }
}
