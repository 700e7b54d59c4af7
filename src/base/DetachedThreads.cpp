#include "base/DetachedThreads.h"

#include <QCoreApplication>
#include <QList>
#include <QMutex>
#include <QThread>

namespace {

struct Idle
{
    QThread* thread;
    // Lives in thread: queued calls to it run there.
    QObject* context;
};

QMutex mutex;
QList<Idle> idle;
bool ending = false;
bool routineAdded = false;

void endIdleThreads()
{
    QList<Idle> threads;
    {
        const QMutexLocker lock(&mutex);
        ending = true;
        threads.swap(idle);
    }
    for (const Idle& each : threads) {
        each.thread->quit();
        each.thread->wait();
        delete each.context;
        delete each.thread;
    }
}

} // namespace

void DetachedThreads::run(std::function<void()> job)
{
    Idle taken{};
    {
        const QMutexLocker lock(&mutex);
        if (!idle.isEmpty()) {
            taken = idle.takeLast();
        }
        if (!routineAdded && QCoreApplication::instance() != nullptr) {
            routineAdded = true;
            qAddPostRoutine(endIdleThreads);
        }
    }
    if (taken.thread == nullptr) {
        taken.thread = new QThread;
        taken.thread->setObjectName(QStringLiteral("detached job"));
        taken.context = new QObject;
        taken.context->moveToThread(taken.thread);
        taken.thread->start();
    }
    QMetaObject::invokeMethod(
        taken.context,
        [job = std::move(job), taken] {
            job();
            const QMutexLocker lock(&mutex);
            if (!ending) {
                idle.append(taken);
            }
        },
        Qt::QueuedConnection);
}
