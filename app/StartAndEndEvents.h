#pragma once

#include "base/Platform.h"
#include "base/SystemEvent.h"

#include <QCoreApplication>
#include <QDir>
#include <QObject>

#include <utility>

// The system log's entry for the start, and the one for the end, told once: as the application is about to quit
// (Windows ends the process right after that at the session's end) or else as run() returns.
class StartAndEndEvents
{
public:
    StartAndEndEvents(SystemEventWriter log, const QString& dataFolder, const QString& profile)
        : m_log(std::move(log)), m_folder(QDir::toNativeSeparators(dataFolder))
    {
        m_log(SystemEvent::ProgramStarted, {QCoreApplication::applicationVersion(), m_folder,
                                            profile.isEmpty() ? QStringLiteral("(なし)") : profile, userName()});
        m_quit = QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, [this] { end(); });
    }
    ~StartAndEndEvents()
    {
        QObject::disconnect(m_quit);
        end();
    }
    StartAndEndEvents(const StartAndEndEvents&) = delete;
    StartAndEndEvents& operator=(const StartAndEndEvents&) = delete;

private:
    void end()
    {
        if (!std::exchange(m_ended, true)) {
            m_log(SystemEvent::ProgramEnded, {m_folder});
        }
    }

    SystemEventWriter m_log;
    QString m_folder;
    QMetaObject::Connection m_quit;
    bool m_ended = false;
};
