#include "base/Platform.h"

#include "base/Cp932.h"
#include "base/LongPath.h"
#include "base/PlatformWin.h"
#include "base/SystemError.h"

#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QProcess>
#include <QStandardPaths>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <winsock2.h>

#include <mswsock.h>
#include <windows.h>

#include <lmcons.h>
#include <wincred.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <string>
#include <string.h>
#include <vector>

std::wstring win32FilePath(const QString& path)
{
    const std::wstring native = QDir::toNativeSeparators(path).toStdWString();
    std::wstring full(native.size() + MAX_PATH, L'\0');
    DWORD length = GetFullPathNameW(native.c_str(), DWORD(full.size()), full.data(), nullptr);
    if (length >= full.size()) {
        full.resize(length);
        length = GetFullPathNameW(native.c_str(), DWORD(full.size()), full.data(), nullptr);
    }
    if (length == 0 || length >= full.size()) {
        return native;
    }
    full.resize(length);
    return win32LongPath(QString::fromStdWString(full)).toStdWString();
}

// Qt's texts are for GetLastError codes; errno values have the C runtime's own.
SystemError SystemError::fromErrno(int number)
{
    return {number, QString::fromWCharArray(_wcserror(number)).trimmed()};
}

// Qt's qt_error_string has English texts of its own for four codes, which it reads as errno values; the system's
// text is in the user's language and names the fault exactly (a sharing violation says another program holds the
// file).
SystemError SystemError::fromSystemCode(int code)
{
    wchar_t* buffer = nullptr;
    const DWORD length =
        FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                       nullptr, DWORD(code), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    QString text = length != 0 ? QString::fromWCharArray(buffer, int(length)) : QString();
    LocalFree(buffer);
    while (!text.isEmpty() && text.back().isSpace()) {
        text.chop(1);
    }
    if (text.isEmpty()) {
        text = QStringLiteral("Unknown error 0x%1").arg(uint(code), 8, 16, QLatin1Char('0'));
    }
    return {code, text};
}

std::optional<SystemError> checkFolder(const QString& folder)
{
    const DWORD attributes = GetFileAttributesW(win32FilePath(folder).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        const int code = attributes == INVALID_FILE_ATTRIBUTES ? static_cast<int>(GetLastError()) : ERROR_DIRECTORY;
        return SystemError::fromSystemCode(code);
    }
    return std::nullopt;
}

bool setCurrentFolder(const QString& folder)
{
    if (QDir::setCurrent(folder)) {
        return true;
    }
    // SetCurrentDirectoryW takes no extended-length path: past MAX_PATH - 2 characters only the system's long-path
    // support (manifest and registry) lets it, and a folder every other call reaches is still a good save folder.
    const QString absolute = QDir::cleanPath(QFileInfo(folder).absoluteFilePath());
    return absolute.size() >= MAX_PATH - 2 && !checkFolder(folder);
}

EditorStart startSystemTextEditor(const QString& path)
{
    // By full path: a bare name is looked up in the program's folder and the current folder (the save folder)
    // before the system folder. Started detached, as the user may close the editor at any time.
    const UINT size = GetSystemDirectoryW(nullptr, 0);
    std::wstring folder(size, L'\0');
    const UINT length = size == 0 ? 0 : GetSystemDirectoryW(folder.data(), size);
    if (length == 0 || length >= size) {
        return EditorStart::Failed;
    }
    const QString notepad = QString::fromWCharArray(folder.data(), length) + QStringLiteral("\\notepad.exe");
    return QProcess::startDetached(notepad, {QDir::toNativeSeparators(path)}) ? EditorStart::Started
                                                                              : EditorStart::Failed;
}

QStringList systemVolumeRoots()
{
    QStringList roots;
    for (const QFileInfo& drive : QDir::drives()) {
        roots << drive.absoluteFilePath();
    }
    return roots;
}

bool preciseTimersRaiseTimerResolution()
{
    return true;
}

bool systemIsVersion6OrLater()
{
    // The system's own version (Qt asks RtlGetVersion, which no compatibility manifest can lower below 6).
    return QOperatingSystemVersion::current().majorVersion() >= 6;
}

void keepSystemAwake(bool on)
{
    // Best effort: a refusal only means the PC may sleep as it would have without us.
    SetThreadExecutionState(on ? ES_CONTINUOUS | ES_SYSTEM_REQUIRED : ES_CONTINUOUS);
}

bool commitDataMeansSessionEnd()
{
    return true;
}

LockFileHold holdLockFile(const QString& path)
{
    // No sharing: a second open fails with a sharing violation while this handle lives; that is the whole exclusion.
    // Removed with the handle where the user may delete it, so an uninstall finds no file of a lock behind. A share
    // that grants Write but not Modify refuses delete-on-close: the lock is then opened plainly and the hidden empty
    // file stays.
    LockFileHold hold;
    const std::wstring name = win32FilePath(path);
    HANDLE file = CreateFileW(name.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    DWORD code = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    if (code == ERROR_ACCESS_DENIED) {
        file = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN, nullptr);
        code = file == INVALID_HANDLE_VALUE ? GetLastError() : ERROR_SUCCESS;
    }
    if (file != INVALID_HANDLE_VALUE) {
        hold.result = LockFileHold::Result::Taken;
        hold.handle = reinterpret_cast<qintptr>(file);
        return hold;
    }
    hold.error = SystemError::fromSystemCode(static_cast<int>(code));
    if (code == ERROR_SHARING_VIOLATION) {
        hold.result = LockFileHold::Result::HeldElsewhere;
    } else if (code == ERROR_WRITE_PROTECT) {
        // Nobody can open it for writing there.
        hold.result = LockFileHold::Result::CannotCreate;
    } else if (code == ERROR_ACCESS_DENIED) {
        // A lock file that is there but refuses access is another user's, or delete-pending (Windows refuses every
        // open until its last handle closes): held. Only where none exists could none be made.
        const DWORD attributes = GetFileAttributesW(name.c_str());
        const DWORD attributesCode = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : ERROR_SUCCESS;
        const bool absent = attributesCode == ERROR_FILE_NOT_FOUND || attributesCode == ERROR_PATH_NOT_FOUND;
        hold.result = absent ? LockFileHold::Result::CannotCreate : LockFileHold::Result::HeldElsewhere;
    } else {
        hold.result = LockFileHold::Result::Failed;
    }
    return hold;
}

void releaseLockFile(qintptr handle, const QString&, bool)
{
    if (handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
}

bool isNetworkPath(const QString& path)
{
    // Absolute and extended-length: \\?\UNC\server\share\... or \\?\X:\...
    const QString full = QString::fromStdWString(win32FilePath(path));
    if (full.startsWith(QLatin1String("\\\\?\\UNC\\"), Qt::CaseInsensitive)) {
        return true;
    }
    if (full.size() < 7 || !full.startsWith(QLatin1String("\\\\?\\")) || full[5] != u':') {
        return false;
    }
    const std::wstring root = full.mid(4, 2).toStdWString() + L"\\";
    return GetDriveTypeW(root.c_str()) == DRIVE_REMOTE;
}

void allowOtherProcessToTakeForeground()
{
    // Best effort: refused when this start is not the foreground process, and the other copy's window then flashes
    // in the taskbar instead.
    AllowSetForegroundWindow(ASFW_ANY);
}

namespace {

// One argument as CommandLineToArgvW reads it back: quoted when it holds a blank or a quote, backslashes doubled
// before a quote.
QString quotedArgument(const QString& argument)
{
    if (!argument.isEmpty() && !argument.contains(u' ') && !argument.contains(u'\t') && !argument.contains(u'"')) {
        return argument;
    }
    QString quoted = QStringLiteral("\"");
    int backslashes = 0;
    for (const QChar c : argument) {
        if (c == u'\\') {
            ++backslashes;
            continue;
        }
        quoted += QString(c == u'"' ? backslashes * 2 + 1 : backslashes, u'\\');
        backslashes = 0;
        quoted += c;
    }
    quoted += QString(backslashes * 2, u'\\') + u'"';
    return quoted;
}

} // namespace

void registerForRestart(const QStringList& arguments)
{
    QStringList quoted;
    for (const QString& argument : arguments) {
        quoted << quotedArgument(argument);
    }
    const std::wstring commandLine = quoted.join(u' ').toStdWString();
    // Best effort: without it the program only stays closed after an update, as it did before. Kept for a reboot,
    // so that Windows Update's "restart apps after sign-in" brings it back too.
    RegisterApplicationRestart(commandLine.empty() ? nullptr : commandLine.c_str(), RESTART_NO_CRASH | RESTART_NO_HANG);
}

bool isSessionEndCancelled(const QByteArray& eventType, const void* message)
{
    if (eventType != "windows_generic_MSG" || message == nullptr) {
        return false;
    }
    const MSG* msg = static_cast<const MSG*>(message);
    return msg->message == WM_ENDSESSION && msg->wParam == FALSE;
}

QString userDataFolder()
{
    // %LOCALAPPDATA% itself, with the program's name rather than its maker's and its own beneath.
    return QDir::toNativeSeparators(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
                                    QStringLiteral("/ZELBO_UDP"));
}

StoredCredential readCredential(const QString& target)
{
    PCREDENTIALW credential = nullptr;
    if (!CredReadW(reinterpret_cast<LPCWSTR>(target.utf16()), CRED_TYPE_GENERIC, 0, &credential)) {
        const DWORD code = GetLastError();
        if (code == ERROR_NOT_FOUND) {
            return {StoredCredential::Outcome::NotFound, {}, {}};
        }
        // A system where the user's credential store is switched off by policy.
        if (code == ERROR_NO_SUCH_LOGON_SESSION) {
            return {StoredCredential::Outcome::Unavailable, {}, SystemError::fromSystemCode(int(code))};
        }
        return {StoredCredential::Outcome::Failed, {}, SystemError::fromSystemCode(int(code))};
    }
    StoredCredential read{StoredCredential::Outcome::Done,
                          QByteArray(reinterpret_cast<const char*>(credential->CredentialBlob),
                                     qsizetype(credential->CredentialBlobSize)),
                          {}};
    SecureZeroMemory(credential->CredentialBlob, credential->CredentialBlobSize);
    CredFree(credential);
    return read;
}

StoredCredential writeCredential(const QString& target, const QString& userName, const QByteArray& secret)
{
    std::wstring targetName = target.toStdWString();
    std::wstring user = userName.toStdWString();
    QByteArray blob = secret;
    CREDENTIALW credential{};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = targetName.data();
    credential.UserName = user.data();
    credential.CredentialBlobSize = DWORD(blob.size());
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(blob.data());
    // Kept across logons and carried by a roaming profile, so the user's other office PCs have it as well.
    credential.Persist = CRED_PERSIST_ENTERPRISE;
    const bool written = CredWriteW(&credential, 0);
    const DWORD code = written ? ERROR_SUCCESS : GetLastError();
    SecureZeroMemory(blob.data(), size_t(blob.size()));
    if (written) {
        return {StoredCredential::Outcome::Done, {}, {}};
    }
    if (code == ERROR_NO_SUCH_LOGON_SESSION) {
        return {StoredCredential::Outcome::Unavailable, {}, SystemError::fromSystemCode(int(code))};
    }
    return {StoredCredential::Outcome::Failed, {}, SystemError::fromSystemCode(int(code))};
}

QString userName()
{
    wchar_t name[UNLEN + 1];
    DWORD size = UNLEN + 1;
    if (!GetUserNameW(name, &size) || size == 0) {
        return QString();
    }
    // size counts the terminating null.
    return QString::fromWCharArray(name, int(size) - 1);
}

void attachParentConsole()
{
    // Started from a prompt: write to its console, unless standard output was redirected (a file, a pipe), which
    // the process already holds.
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) {
        return;
    }
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output == nullptr || output == INVALID_HANDLE_VALUE || GetFileType(output) == FILE_TYPE_CHAR) {
        (void)std::freopen("CONOUT$", "w", stdout);
    }
}

QByteArray consoleBytes(const QString& text)
{
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    return GetConsoleOutputCP() == CP_UTF8 ? lines.toUtf8() : Cp932::encode(lines);
}

bool writeStandardOutput(QByteArrayView bytes)
{
    const int descriptor = _fileno(stdout);
    if (descriptor < 0) {
        return false;
    }
    std::fflush(stdout);
    // The bytes are written as given: the text mode would turn each LF of a CR LF into one more CR LF.
    const int previous = _setmode(descriptor, _O_BINARY);
    const bool written = std::fwrite(bytes.data(), 1, std::size_t(bytes.size()), stdout) == std::size_t(bytes.size());
    const bool flushed = std::fflush(stdout) == 0;
    if (previous != -1) {
        _setmode(descriptor, previous);
    }
    return written && flushed;
}
