#pragma once
// Who holds a local port, as far as the system tells this user: a plain record, filled by udpPortHolder (Platform.h)
// and read by the status line that names it. Qt Core only.

#include <QString>
#include <QtGlobal>

#include <optional>

struct PortHolder
{
    QString process;                // the program's file name; empty when the system keeps it from us
    qint64 pid = 0;                 // 0 when unknown
    QString user;                   // the account it runs as; empty when unknown
    std::optional<quint32> session; // the logon session (Windows: Remote Desktop Services session)
};
