#include "base/Platform.h"

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

#include <wincred.h>

#include <string>
#include <string.h>
#include <vector>

#ifndef SIO_UDP_NETRESET
#define SIO_UDP_NETRESET _WSAIOW(IOC_VENDOR, 15)
#endif

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

void ignoreUdpPortUnreachable(qintptr socket)
{
    // Qt turns SIO_UDP_CONNRESET on for every UDP socket it creates; a failure here leaves it on, which the link
    // copes with as well.
    for (const DWORD option : {DWORD(SIO_UDP_CONNRESET), DWORD(SIO_UDP_NETRESET)}) {
        BOOL report = FALSE;
        DWORD returned = 0;
        WSAIoctl(SOCKET(socket), option, &report, sizeof(report), nullptr, 0, &returned, nullptr, nullptr);
    }
}

int lastSocketErrorCode()
{
    return WSAGetLastError();
}

bool isTransientNetworkError(int code)
{
    return code == WSAENETUNREACH || code == WSAEHOSTUNREACH || code == WSAENETDOWN || code == WSAENOBUFS;
}

bool isNothingToReadError(int code)
{
    return code == WSAEWOULDBLOCK;
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
    // No sharing: a second open fails with a sharing violation while this handle lives. Removed with the handle, so
    // an uninstall finds no file of a lock behind.
    LockFileHold hold;
    const HANDLE file = CreateFileW(win32FilePath(path).c_str(), GENERIC_READ | GENERIC_WRITE | DELETE, 0, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        hold.result =
            code == ERROR_SHARING_VIOLATION ? LockFileHold::Result::HeldElsewhere : LockFileHold::Result::Failed;
        hold.error = SystemError::fromSystemCode(static_cast<int>(code));
        return hold;
    }
    hold.result = LockFileHold::Result::Taken;
    hold.handle = reinterpret_cast<qintptr>(file);
    return hold;
}

void releaseLockFile(qintptr handle, const QString&, bool)
{
    if (handle != -1) {
        CloseHandle(reinterpret_cast<HANDLE>(handle));
    }
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

namespace {

constexpr wchar_t PolicyKeyPath[] = L"SOFTWARE\\Policies\\ZELBO\\ZELBO_UDP";
// A value that grows between measuring the key and reading it is measured again, a few times at most.
constexpr int PolicyReadAttempts = 3;

// A policy value as text: REG_SZ and REG_EXPAND_SZ as they stand, REG_DWORD in decimal; nothing for other types.
std::optional<QString> policyText(DWORD type, const std::vector<BYTE>& data, DWORD size)
{
    if (type == REG_SZ || type == REG_EXPAND_SZ) {
        QString text =
            QString::fromWCharArray(reinterpret_cast<const wchar_t*>(data.data()), qsizetype(size / sizeof(wchar_t)));
        // Stored with its terminating null or without one.
        while (text.endsWith(QChar(u'\0'))) {
            text.chop(1);
        }
        return text;
    }
    if (type == REG_DWORD && size == sizeof(DWORD)) {
        DWORD number = 0;
        memcpy(&number, data.data(), sizeof(number));
        return QString::number(number);
    }
    return std::nullopt;
}

// Every value of one hive's policy key over values. The key's absence is no failure; a failure reads none of its
// values and says where and why.
QString readPolicyKey(HKEY hive, const QString& hiveName, QMap<QString, QString>& values)
{
    const QString where = hiveName + u'\\' + QString::fromWCharArray(PolicyKeyPath) + QStringLiteral(" : ");
    HKEY key = nullptr;
    LSTATUS status = RegOpenKeyExW(hive, PolicyKeyPath, 0, KEY_READ | KEY_WOW64_64KEY, &key);
    if (status == ERROR_FILE_NOT_FOUND) {
        return QString();
    }
    if (status != ERROR_SUCCESS) {
        return where + SystemError::fromSystemCode(int(status)).description;
    }
    QMap<QString, QString> read;
    std::vector<wchar_t> name;
    std::vector<BYTE> data;
    DWORD index = 0;
    int attempts = 0;
    for (;;) {
        DWORD longestName = 0;
        DWORD largestData = 0;
        status = RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName,
                                  &largestData, nullptr, nullptr);
        if (status != ERROR_SUCCESS) {
            break;
        }
        name.assign(longestName + 1, L'\0');
        data.assign(largestData + sizeof(wchar_t), 0);
        DWORD nameLength = DWORD(name.size());
        DWORD size = DWORD(data.size());
        DWORD type = REG_NONE;
        status = RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (status == ERROR_MORE_DATA && ++attempts < PolicyReadAttempts) {
            continue;
        }
        if (status != ERROR_SUCCESS) {
            break;
        }
        attempts = 0;
        ++index;
        const QString valueName = QString::fromWCharArray(name.data(), qsizetype(nameLength)).toUpper();
        if (const std::optional<QString> text = policyText(type, data, size); text && !valueName.isEmpty()) {
            read.insert(valueName, *text);
        }
    }
    RegCloseKey(key);
    if (status != ERROR_NO_MORE_ITEMS) {
        return where + SystemError::fromSystemCode(int(status)).description;
    }
    values.insert(read);
    return QString();
}

} // namespace

PolicyReading readPolicyValues(const QString&)
{
    PolicyReading reading;
    QStringList failures;
    // The user's first, the machine's over them.
    failures << readPolicyKey(HKEY_CURRENT_USER, QStringLiteral("HKCU"), reading.values);
    failures << readPolicyKey(HKEY_LOCAL_MACHINE, QStringLiteral("HKLM"), reading.values);
    failures.removeAll(QString());
    reading.failure = failures.join(QStringLiteral(" / "));
    return reading;
}

QString systemPolicyFile()
{
    return QString();
}
