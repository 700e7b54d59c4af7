#pragma once
// status.json in the data folder, replaced whole at every cycle's end, whenever the run starts or stops, and every
// 5 minutes while the program runs; and the same bytes in IT's STATUSFOLDER as <PC>-<user>[-<profile>].json, written
// on a thread nothing waits for, one at a time with at most the newest one waiting: a share that is down never delays
// a cycle nor the program's end. Copies that fail, or that a newer one replaced while they waited, are counted in the
// file; a failure, or a copy held past SlowCopyAfter, is said once in the status box. Best effort: nothing here ever
// fails a cycle. Qt Core.

#include "base/DetachedJob.h"
#include "base/SystemError.h"
#include "output/CycleRecorder.h"
#include "output/StatusTracker.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

// Who the file is about.
struct StatusIdentity
{
    QString version;
    QString pc;
    QString user;
    QString profile;
    QString dataFolder;
};

class StatusFile
{
public:
    // A copy that stops writing is marked silent after 15 minutes: three rewrites missed.
    static constexpr std::chrono::milliseconds RewriteInterval = std::chrono::minutes(5);
    // A share's open or write that takes longer is not a passing delay: as long as the cycle's own file work waits.
    static constexpr std::chrono::milliseconds SlowCopyAfter = std::chrono::seconds(10);

    // Writes bytes to path on the copy's thread; why it failed, else nothing.
    using CopyWriter = std::function<std::optional<SystemError>(const QString& path, const QByteArray& bytes)>;
    using LineListener = std::function<void(const QString& line)>;

    // The program's writer of the copy: replaced as the local file is; what an interrupted write left beside it goes
    // with the first one.
    static CopyWriter shareWriter();

    // path is status.json; statusFolder IT's folder for the copy, empty for none.
    StatusFile(const StatusIdentity& identity, const QString& path, const QString& statusFolder);
    StatusFile(const StatusFile&) = delete;
    StatusFile& operator=(const StatusFile&) = delete;

    void cycleEnded(const CycleRecorder::CycleNotice& cycle);
    void setPolling(bool polling);
    // No write: an idle poll comes every second or so, and the next rewrite or cycle tells it.
    void idlePoll(const QDateTime& time) { m_tracker.idlePoll(time); }
    // Replaces the file (and starts its copy) now, with the time of the write as now.
    void write();
    // IT's folder changed (a policy's STATUSFOLDER while the program runs): the copy goes there from now on, written
    // at once; the copy in the old folder stays as it is and falls silent. Empty: no copy.
    void setStatusFolder(const QString& statusFolder);

    // A line for the status box, the first time a write fails after one that worked.
    void setLineListener(LineListener listener) { m_line = std::move(listener); }
    // Tests hold the copy or make it fail, and shorten the rewrite; the program keeps the defaults.
    void setCopyWriter(CopyWriter writer) { m_writeCopy = std::move(writer); }
    void setRewriteInterval(std::chrono::milliseconds interval) { m_rewrite.setInterval(interval); }
    void setSlowCopyAfter(std::chrono::milliseconds after) { m_slowCopyAfter = after; }
    const QString& copyPath() const { return m_copyPath; }
    // A copy is being written, or waits for the one before.
    bool copyBusy() const { return m_copy.busy(); }

private:
    void useStatusFolder(const QString& statusFolder);
    StatusRecord record() const;
    void startCopy(const QByteArray& bytes);
    void copyDone(const std::optional<SystemError>& error);
    // A failure to write into folder: said when it is the first since a write there worked.
    void failed(bool& said, const QString& folder, const QString& why);

    StatusIdentity m_identity;
    QString m_path;
    QString m_statusFolder;
    QString m_copyPath;
    StatusTracker m_tracker;
    QTimer m_rewrite;
    DetachedJob<std::optional<SystemError>> m_copy;
    QElapsedTimer m_copyStarted;
    // The newest copy, while the one before is still being written.
    std::optional<QByteArray> m_waitingCopy;
    std::chrono::milliseconds m_slowCopyAfter = SlowCopyAfter;
    CopyWriter m_writeCopy;
    LineListener m_line;
    int m_copiesFailed = 0;
    int m_copiesSkipped = 0;
    bool m_localSaid = false;
    bool m_copySaid = false;
};
