#include "output/FileWorker.h"

#include <QCoreApplication>
#include <QTimer>

#include <atomic>

FileWorker::FileWorker() : m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("file work"));
    m_context->moveToThread(&m_thread);
    m_thread.start();
}

FileWorker::~FileWorker()
{
    // Queued after the last job: the thread ends once every job before it has run.
    QMetaObject::invokeMethod(
        m_context, [this] { m_thread.quit(); }, Qt::QueuedConnection);
    m_thread.wait();
    delete m_context;
}

void FileWorker::post(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context, std::move(job), Qt::QueuedConnection);
}

void FileWorker::runAndWait(const std::function<void()>& job, const std::function<void()>& slow)
{
    std::atomic_bool done = false;
    QMetaObject::invokeMethod(
        m_context,
        [this, &job, &done] {
            job();
            done = true;
            // Wakes the waiting thread's event loop; this object outlives the thread.
            QMetaObject::invokeMethod(
                this, [] {}, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    QTimer patience;
    patience.setSingleShot(true);
    if (slow) {
        QObject::connect(&patience, &QTimer::timeout, slow);
        patience.start(m_slowAfter);
    }
    while (!done) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
}
