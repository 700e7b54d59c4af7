#include "base/Platform.h"

#include "base/SystemEvent.h"

#include <syslog.h>

namespace {

int priority(SystemEventLevel level)
{
    switch (level) {
    case SystemEventLevel::Information:
        return LOG_INFO;
    case SystemEventLevel::Warning:
        return LOG_WARNING;
    case SystemEventLevel::Error:
    default:
        return LOG_ERR;
    }
}

} // namespace

void writeSystemEvent(SystemEvent event, const QStringList& strings)
{
    // Once, with an ident that outlives every call; the process id tells the copies of several profiles apart.
    static const bool opened = [] {
        openlog("zelbo_udp", LOG_PID, LOG_USER);
        return true;
    }();
    (void)opened;
    QString text = QStringLiteral("[%1] ").arg(static_cast<int>(event)) + systemEventText(event, strings);
    // One line: a daemon that reads lines would cut an entry in two at a line break of an insertion string.
    text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
    text.replace(u'\n', u' ');
    text.replace(u'\r', u' ');
    syslog(priority(systemEventLevel(event)), "%s", text.toUtf8().constData());
}
