#pragma once
// The end of the desktop session (logoff, shutdown, an installer's Restart Manager, an X session manager) turned into
// the program's own actions. It never cancels the end and never asks the user: nobody may be at the PC. An end that
// another program cancelled gives the day's polling back.

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <functional>

class SessionWatcher : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    struct Handlers
    {
        // The session is about to end: a run stops as by Stop; the window stays until the application is told to quit.
        std::function<void()> sessionEnding;
        // The application is told to quit: true while a stopped run is still on the stack, which then ends the
        // program once it has returned; false when it may end at once.
        std::function<bool()> quitRequested;
        // The end announced by sessionEnding was cancelled (another program refused it): called once, from the
        // event loop rather than from inside the system's message.
        std::function<void()> sessionEndCancelled;
    };

    explicit SessionWatcher(Handlers handlers, QObject* parent = nullptr);
    ~SessionWatcher() override;

    // What the session manager's request to save data leads to where it means the end of the session. Public for
    // tests, which have no session manager to send it.
    void sessionEnding();
    // What the system's word that the end was cancelled leads to; public for the same reason.
    void sessionEndCancelled();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    Handlers m_handlers;
    // From sessionEnding to the end's cancellation: the system tells every top-level window, and only the first
    // word counts.
    bool m_ending = false;
};
