#include "ui/SessionWatcher.h"

#include "base/Platform.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>
#include <QTimer>

SessionWatcher::SessionWatcher(Handlers handlers, QObject* parent) : QObject(parent), m_handlers(std::move(handlers))
{
    // Direct, and nothing here waits for the user: Windows takes the answer to WM_QUERYENDSESSION as soon as the
    // signal returns, and the run underneath goes on only after that.
    if (auto* application = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(
            application, &QGuiApplication::commitDataRequest, this,
            [this](QSessionManager&) {
                if (commitDataMeansSessionEnd()) {
                    sessionEnding();
                }
            },
            Qt::DirectConnection);
    }
    // The session's last word reaches the application object as Quit: WM_ENDSESSION, an X session manager's Die.
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->installEventFilter(this);
        application->installNativeEventFilter(this);
    }
}

SessionWatcher::~SessionWatcher()
{
    if (QCoreApplication* application = QCoreApplication::instance()) {
        application->removeNativeEventFilter(this);
    }
}

void SessionWatcher::sessionEnding()
{
    m_ending = true;
    if (m_handlers.sessionEnding) {
        m_handlers.sessionEnding();
    }
}

void SessionWatcher::sessionEndCancelled()
{
    if (!m_ending) {
        return;
    }
    m_ending = false;
    // A new run would otherwise begin inside the system's message, under the window procedure that delivers it.
    QTimer::singleShot(0, this, [this] {
        if (m_handlers.sessionEndCancelled) {
            m_handlers.sessionEndCancelled();
        }
    });
}

bool SessionWatcher::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (isSessionEndCancelled(eventType, message)) {
        sessionEndCancelled();
    }
    return false;
}

bool SessionWatcher::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Quit && watched == QCoreApplication::instance() && m_handlers.quitRequested &&
        m_handlers.quitRequested()) {
        // Not now: Qt would close the window, which during a run only stops it. The run still holds the socket and
        // the files, and ends the program itself once it has let go of them.
        event->ignore();
        return true;
    }
    return QObject::eventFilter(watched, event);
}
