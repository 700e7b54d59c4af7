#include "CommObjects.h"

#include "base/ProgramPaths.h"
#include "ui/MainWindow.h"

CommObjects::CommObjects(RunHost& host, const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                         const QString& title)
    : m_link(host, settings), m_output(settings, paths, messages, title),
      m_control(host, m_link, m_clock, m_output, settings)
{
}

void CommObjects::connectWindow(MainWindow& window)
{
    window.setCommHandlers({
        [this](int index) { m_control.cmdComm_Click(index); },
        [this] { m_control.Timer1_Timer(); },
        [this] { return m_control.Form_Unload(); },
    });
    m_control.setCloseWindow([&window] { window.close(); });
}
