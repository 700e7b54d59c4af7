#pragma once
// One job at a time on a thread of its own that nothing ever waits for, not even the program's end: for best-effort
// work on a share that may hang for minutes (IT's copy of the status file, the fleet window's reading). The result
// comes back on the owner's thread through its event loop; an owner destroyed first never hears of it, and the
// thread ends with its job or with the process. Qt Core only.

#include <QFutureWatcher>
#include <QPromise>

#include <functional>
#include <system_error>
#include <thread>
#include <utility>

template <typename Result> class DetachedJob
{
public:
    DetachedJob()
    {
        QObject::connect(&m_watcher, &QFutureWatcherBase::finished, &m_watcher, [this] {
            m_busy = false;
            auto done = std::exchange(m_done, {});
            if (done && m_watcher.future().resultCount() > 0) {
                done(m_watcher.result());
            }
        });
    }
    DetachedJob(const DetachedJob&) = delete;
    DetachedJob& operator=(const DetachedJob&) = delete;

    // A job is running, or its result has not come back yet.
    bool busy() const { return m_busy; }

    // Starts job unless one is busy, or no thread can be had (false then). done gets its result on this thread; a job
    // that throws gives none.
    bool start(std::function<Result()> job, std::function<void(Result)> done)
    {
        if (m_busy) {
            return false;
        }
        QPromise<Result> promise;
        m_watcher.setFuture(promise.future());
        promise.start();
        try {
            std::thread([promise = std::move(promise), job = std::move(job)]() mutable {
                try {
                    promise.addResult(job());
                } catch (...) {
                    // Out of memory at worst: no result, and the owner tries again with its next job.
                }
                promise.finish();
            }).detach();
        } catch (const std::system_error&) {
            return false;
        }
        m_busy = true;
        m_done = std::move(done);
        return true;
    }

private:
    QFutureWatcher<Result> m_watcher;
    std::function<void(Result)> m_done;
    bool m_busy = false;
};
