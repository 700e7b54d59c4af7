#include "output/FileWorker.h"

#include <QCoreApplication>
#include <QSemaphore>
#include <QThread>
#include <QTimer>

#include <atomic>
#include <utility>

namespace {

QThread* sharedThread = nullptr;

// Run as the application object goes: every job queued by then has run when the thread ends.
void endSharedThread()
{
    if (sharedThread != nullptr) {
        sharedThread->quit();
        sharedThread->wait();
        delete std::exchange(sharedThread, nullptr);
    }
}

QThread* fileWorkThread()
{
    if (sharedThread == nullptr) {
        sharedThread = new QThread;
        sharedThread->setObjectName(QStringLiteral("file work"));
        sharedThread->start();
        qAddPostRoutine(endSharedThread);
    }
    return sharedThread;
}

} // namespace

FileWorker::FileWorker() : m_context(new QObject)
{
    m_context->moveToThread(fileWorkThread());
}

FileWorker::~FileWorker()
{
    if (sharedThread == nullptr) {
        // The application object went first and the thread ended with every job queued.
        delete m_context;
        return;
    }
    // Queued after this worker's last job: once it has run, nothing else refers to the context.
    QSemaphore drained;
    QMetaObject::invokeMethod(
        m_context,
        [this, &drained] {
            m_context->deleteLater();
            drained.release();
        },
        Qt::QueuedConnection);
    drained.acquire();
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
