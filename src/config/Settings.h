#pragma once
// The configuration record, as one value type. The application owns the single live instance and passes it by
// reference; nothing here knows about files or widgets. Defaults are the members' initial values; SettingsTable says
// where each setting is stored and what it may hold.

#include <QString>

#include <array>
#include <cstdint>

struct Settings
{
    static constexpr int FieldCount = 20;
    using Flags = std::array<std::int16_t, FieldCount>;

    QString SaveFolder;
    std::int16_t CrcType = 0;
    std::int16_t OverWrite = 0;
    std::int16_t StartUpSize = 0;
    std::int16_t AutoStart = 0;
    std::int16_t Protocol = 0;
    std::int16_t SendMail = 0;
    QString MailAddress;
    QString MailSub;
    QString FromMailAddress;
    QString MailServer;
    // Index 0 is F1, index 19 is F20; 1 keeps the field.
    Flags FieldSelect = {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1};
    QString LocalPort = QStringLiteral("6000");
    QString RemoteHost = QStringLiteral("192.168.0.111");
    QString RemotePort = QStringLiteral("6001");
    std::int16_t AddDate = 0;
    QString FixFname;
    QString TimeAdjust = QStringLiteral("1");
    // Sign-in name for the mail server; empty sends without signing in. Its password is only in the system's
    // credential store, never in this record.
    QString MailUser;
    // IT's folder that gets a copy of the status file (STATUSFOLDER); empty: none. It has no place in the settings
    // line: the extra settings file keeps it.
    QString StatusFolder;

    bool operator==(const Settings&) const = default;
};
