#pragma once
// The program's OS calls outside SafeFile, one source file per OS (PlatformPosix.cpp, PlatformWin.cpp, chosen by
// CMake), so no other file of src/ needs a platform #if. Qt Core only.

#include "base/PortHolder.h"
#include "base/SystemError.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QMap>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// Whether folder can be opened as a folder; if not, the system's own error number and text for it.
std::optional<SystemError> checkFolder(const QString& folder);

// Makes folder the current directory. Also true for a folder that exists but is longer than Windows lets a current
// directory be (without its long-path support); the current directory then stays as it was.
bool setCurrentFolder(const QString& folder);

enum class EditorStart
{
    Started,
    Failed,
    NoSystemEditor, // the caller opens the desktop's default application for text
};

// Starts the platform's own text editor on path without waiting for it: on Windows notepad from the system folder.
EditorStart startSystemTextEditor(const QString& path);

// The root paths ('/' separators) the folder picker offers as drives, unsorted: on Windows every drive letter, ready
// or not; elsewhere the mounted volumes isSaveVolume accepts.
QStringList systemVolumeRoots();

// Windows: true, because Qt arms a precise event-loop timer as a 1 ms multimedia timer, which raises the whole
// system's timer resolution while it runs. Elsewhere false: a precise timer is only the timeout of the loop's poll.
bool preciseTimersRaiseTimerResolution();

// Windows: the system's major version is 6 or later; elsewhere: a documents folder exists.
bool systemIsVersion6OrLater();

// Stops the system from reporting an ICMP "port unreachable" (or "TTL expired") answer to an earlier send as a
// failed read or send on this bound UDP socket, as Windows does once Qt has asked for it; a no-op elsewhere, where an
// unconnected socket never sees such reports. Best effort: a read that reports one anyway is taken as no reply.
void ignoreUdpPortUnreachable(qintptr socket);

// The system's code for the last failed socket call of this thread (errno; WSAGetLastError on Windows), read right
// after the call, before anything else can change it.
int lastSocketErrorCode();

// Whether a socket call's system code says the network itself is away for now (unreachable network or host, network
// down, no buffer space): a cable pulled out, a roam, a resume from sleep, a logon before the network is up.
bool isTransientNetworkError(int code);

// Whether a socket call's system code only says that nothing was there to read (EAGAIN; WSAEWOULDBLOCK).
bool isNothingToReadError(int code);

// The process that holds local UDP port (on any address, IPv4 or IPv6), with what the system tells this user of it;
// nothing when no socket on the port is found. Windows: the system's UDP table, then the process's image name,
// session and account where it may be opened (another user's process may not: its name then comes from the process
// list). Linux: /proc/net/udp and udp6 give the socket and its owner; the process is found only among those this user
// may look into.
std::optional<PortHolder> udpPortHolder(quint16 port);

// Whether a bind of local UDP port that the system refused for access (EACCES; WSAEACCES) was refused because another
// socket holds the port. Windows says so for a port another user's socket holds exclusively, but also for a port it
// reserves for itself: only a port its UDP table shows in use counts. Never elsewhere, where the refusal is for a
// privileged port.
bool accessRefusalMeansPortHeld(quint16 port);

// While on, the system does not go to sleep on its idle timer (Windows: SetThreadExecutionState for this thread, so
// it is to be switched on and off on the same thread); the screen may still turn off. Elsewhere a no-op: the
// desktops' sleep inhibitors sit behind their session bus, which this Qt Core library does not reach.
void keepSystemAwake(bool on);

// Whether the session manager's request to save data (Qt's commitDataRequest) always means that the session is ending:
// on Windows it comes only from WM_QUERYENDSESSION (logoff, shutdown, an installer's Restart Manager); an X session
// manager also sends it for a mere checkpoint, and there only its Die, Qt's Quit, ends the session.
bool commitDataMeansSessionEnd();

// An exclusive hold on a lock file that the system lets go when the process ends, however it ends (a kill, a
// crash, a logoff): flock on an open descriptor on POSIX, a handle opened without sharing on Windows, so it also holds
// against a copy on another PC that reaches the same folder over a share. Windows removes the file with the handle
// where the user may delete it; where not (a share that grants Write but not Modify) the hidden empty file stays.
struct LockFileHold
{
    enum class Result
    {
        Taken,
        // Another holds it; so counts a lock file that exists but refuses access (another user's, or one that Windows
        // is still removing).
        HeldElsewhere,
        // No lock file exists and the folder lets none be made (access denied, a read-only volume): nobody can hold
        // it. error says why.
        CannotCreate,
        Failed, // the lock file could not be opened for another reason: error says why
    };
    Result result = Result::Failed;
    qintptr handle = -1;
    std::optional<SystemError> error;
};
LockFileHold holdLockFile(const QString& path);
// Lets go of a hold; with remove, the lock file goes too where the system did not remove it with the handle.
void releaseLockFile(qintptr handle, const QString& path, bool remove);

// Whether path lies on a network share (Windows: a UNC path or a mapped network drive; elsewhere an NFS or SMB
// mount), where a PC that crashed may keep its open files for some minutes, and which is no place for a data folder.
// A path that does not exist yet is judged by its folder; one that cannot be asked about counts as local.
bool isNetworkPath(const QString& path);

// A second start hands over to the copy that runs already: it may then bring its window to the front (Windows lets
// only the foreground process pass that right on); a no-op elsewhere.
void allowOtherProcessToTakeForeground();

// Asks the system to start the program again with arguments after it closed it for an update (an installer's Restart
// Manager, Windows Update's restart of apps after sign-in), never after a crash or a hang, which could loop. A no-op
// where the system has no such service.
void registerForRestart(const QStringList& arguments);

// Whether a native event of the application says that the end of the session was cancelled (Windows: WM_ENDSESSION
// with FALSE, after another program refused WM_QUERYENDSESSION). Always false where no such message exists.
bool isSessionEndCancelled(const QByteArray& eventType, const void* message);

// The user's own folder for the program's files where the program's folder is not theirs to write (Program Files):
// %LOCALAPPDATA%\ZELBO_UDP on Windows, the application's local data location elsewhere. Native separators.
QString userDataFolder();

// Where the per-user installer puts the program (%LOCALAPPDATA%\Programs\ZELBO_UDP) and the user's own Startup
// folder, where it puts the shortcut that starts the program at logon. Empty where there is no such installer.
QString perUserInstallFolder();
QString userStartupFolder();

// The user's logon session, so that a start in one session (Remote Desktop) does not reach a copy in another session
// of the same user: the Windows session id; elsewhere XDG_SESSION_ID, or "0" without one.
QString currentSessionId();

// Whether the process at the other end of a connected local socket (its native descriptor) runs as this user in this
// session: on Windows the pipe's server process is asked for both; elsewhere the peer's user id is compared (the
// session is in the socket's name).
bool isPeerInThisSession(qintptr socket);

// The user's credential store as the system offers it to programs directly: the Windows Credential Manager, one
// generic credential per target name, kept per user and never in a file of ours. Elsewhere the store is the Secret
// Service, reached through QtKeychain, and these answer Unavailable.
struct StoredCredential
{
    enum class Outcome
    {
        Done,
        NotFound,
        Unavailable,
        Failed,
    };
    Outcome outcome = Outcome::Failed;
    QByteArray secret; // read only
    SystemError error; // when Failed
};
StoredCredential readCredential(const QString& target);
StoredCredential writeCredential(const QString& target, const QString& userName, const QByteArray& secret);

// The name the user signed in with, for IT's view of which copy is whose: GetUserNameW on Windows, the password
// database's name for the effective user elsewhere ($USER where it has none). Empty when the system gives none.
QString userName();

enum class SystemEvent : quint16;
// Writes event to the system's log with its insertion strings: on Windows to the Application log as source
// "ZELBO_UDP" (ReportEventW; Event Viewer finds the text in the exe's message table where the per-machine installer
// registered the source, and shows the strings alone where nobody did); elsewhere to syslog(3) as "zelbo_udp" with the
// level's priority and "[ID] " before the Japanese text. Best effort: a log that takes nothing is not reported.
void writeSystemEvent(SystemEvent event, const QStringList& strings);

// A command for scripts (--store-mail-password, --fleet-report) started from a command prompt: the program is built for
// the windows subsystem (Windows), gets no console of its own, and its lines would go nowhere. On Windows it attaches
// to the console of the process that started it, if that has one, and sends the C runtime's stdout and stderr there
// unless they already go to a file, a pipe or NUL. Call before anything writes to them. A no-op elsewhere, where the
// streams are the terminal's.
void attachParentConsole();

// text as a console, or a script reading standard output, takes it: on Windows CR LF line ends and the console's code
// page (UTF-8 where that is 65001, else code page 932 as on Japanese Windows); elsewhere UTF-8 as it stands.
QByteArray consoleBytes(const QString& text);

// Writes bytes to standard output unchanged (no line-end translation) and flushes them. False when that failed, or
// there is no standard output at all.
bool writeStandardOutput(QByteArrayView bytes);

// IT's policies for the program as the system keeps them, NAME, in capitals, to value as given. Windows: the values
// under SOFTWARE\Policies\ZELBO\ZELBO_UDP, HKCU's with HKLM's over them (a machine policy wins over a user policy, as
// Group Policy has it); REG_SZ and REG_EXPAND_SZ as they stand (unexpanded), REG_DWORD in decimal, other types passed
// over. Elsewhere the NAME=value lines of posixPolicyFile (systemPolicyFile() but in tests), which Windows does not
// read. Nothing where there are none.
struct PolicyReading
{
    QMap<QString, QString> values;
    QString failure; // where policies exist but could not be read, and the system's reason; empty when all were read
};
PolicyReading readPolicyValues(const QString& posixPolicyFile);
// Where a POSIX system keeps the policy file: /etc/zelbo_udp/policy.ini. Empty on Windows.
QString systemPolicyFile();
