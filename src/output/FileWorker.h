#pragma once
// A cycle's file work on a thread of its own, so that a share that holds an open or a sync for a minute never freezes
// the window: jobs run one at a time, in the order given; run() waits for its job in the event loop, as the run waits
// for a datagram, so the window paints and Stop, the session's end and a second start are answered meanwhile. A job
// touches nothing the calling thread uses until it is done. Qt Core only.

#include <QObject>
#include <QThread>

#include <chrono>
#include <functional>
#include <optional>
#include <type_traits>

class FileWorker : public QObject
{
public:
    // Long enough for a healthy share's sync, short enough that nobody waits without a word.
    static constexpr auto SlowAfter = std::chrono::seconds(10);

    FileWorker();
    // Lets the jobs still queued finish, then ends the thread.
    ~FileWorker() override;
    FileWorker(const FileWorker&) = delete;
    FileWorker& operator=(const FileWorker&) = delete;

    // Runs job on the worker thread after every job before it and returns its result; a job still running after
    // SlowAfter has slow() called once, on this thread. A call made while another one waits (a nested event) queues
    // behind that one's job.
    template <typename Job> auto run(Job job, const std::function<void()>& slow = {}) -> std::invoke_result_t<Job>
    {
        using R = std::invoke_result_t<Job>;
        if constexpr (std::is_void_v<R>) {
            runAndWait(job, slow);
        } else {
            std::optional<R> result;
            runAndWait([&result, &job] { result.emplace(job()); }, slow);
            return std::move(*result);
        }
    }
    // Queues job behind the others and returns at once.
    void post(std::function<void()> job);

    // Tests shorten the patience; the program keeps SlowAfter.
    void setSlowAfter(std::chrono::milliseconds after) { m_slowAfter = after; }

private:
    void runAndWait(const std::function<void()>& job, const std::function<void()>& slow);

    QThread m_thread;
    // Lives in m_thread: queued calls to it run there.
    QObject* m_context = nullptr;
    std::chrono::milliseconds m_slowAfter = SlowAfter;
};
