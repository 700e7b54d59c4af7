#include "base/Platform.h"

#include "base/SystemError.h"

#include <QStringList>

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstring>
#include <optional>
#include <vector>

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
