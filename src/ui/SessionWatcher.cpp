#include "ui/SessionWatcher.h"

#include "base/Platform.h"

#include <QEvent>
#include <QGuiApplication>
#include <QSessionManager>

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
    }
}

void SessionWatcher::sessionEnding()
{
    if (m_handlers.sessionEnding) {
        m_handlers.sessionEnding();
    }
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
