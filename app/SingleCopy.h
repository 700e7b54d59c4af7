#pragma once
// One copy of the program per data folder. The first start holds the folder's lock file until it ends (the system
// lets go of it even after a kill) and listens for later starts of the same user and logon session; a later start
// touches none of the folder's files, asks the first copy to show its window and ends.

#include "base/SystemError.h"

#include <QLocalServer>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

class SingleCopy
{
public:
    enum class Claim
    {
        First,         // the lock is ours: go on
        HandedOver,    // another copy holds the folder and has shown its window: end now
        NoAnswer,      // another copy holds the folder but did not answer: tell the user, then end
        Unlocked,      // the lock file could not be made at all (a folder nobody may write): go on, and say so
        HeldElsewhere, // a start in the background: another copy holds the folder and was not asked: end now
    };

    static constexpr auto AnswerWait = std::chrono::seconds(5);
    static constexpr char LockFileName[] = "zelbo_udp.lock";

    explicit SingleCopy(const QString& dataFolder);
    ~SingleCopy();
    SingleCopy(const SingleCopy&) = delete;
    SingleCopy& operator=(const SingleCopy&) = delete;

    Claim claim(std::chrono::milliseconds answerWait = AnswerWait);
    // A start nobody waits at (--background: at logon, after an update): a copy that holds the folder is neither asked
    // nor waited for, frozen or not, and nothing is shown.
    Claim claimInBackground();
    // After Claim::Unlocked: the line for the status box and the history, naming the lock file and the system's
    // error. A second start in the folder is then not kept out.
    QString unlockedNote() const;
    // Called in the first copy when a later start asks for the window.
    void setShowRequested(std::function<void()> showRequested) { m_showRequested = std::move(showRequested); }

private:
    Claim take(std::optional<std::chrono::milliseconds> answerWait);
    bool askFirstCopy(std::chrono::milliseconds answerWait) const;
    void listen();
    void answer();

    QString m_dataFolder;
    QString m_serverName;
    SystemError m_lockError;
    qintptr m_lock = -1;
    QLocalServer m_server;
    std::function<void()> m_showRequested;
};
