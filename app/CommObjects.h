#pragma once
// The objects behind Start, Stop and the first tick, wired around a RunHost as the program wires them: the UDP link,
// the clock, the upload output (which owns the cycle's files) and CommControl. main() builds them here, and so do the
// benchmark and the tests that drive the real program.

#include "base/SystemEvent.h"
#include "link/UdpLink.h"
#include "output/SystemClock.h"
#include "output/UploadOutput.h"
#include "protocol/CommControl.h"

class MainWindow;
class MessageSink;
class StatusFile;
class TrayIcon;
struct ProgramPaths;
struct Settings;

class CommObjects
{
public:
    // title heads the output's message boxes.
    CommObjects(RunHost& host, const Settings& settings, const ProgramPaths& paths, MessageSink& messages,
                const QString& title);

    CommControl& control() { return m_control; }
    UploadOutput& output() { return m_output; }
    // Hands the window's Start, Stop, first tick and close request to CommControl, which closes the window later when
    // a close had to wait for a stopped run to return.
    void connectWindow(MainWindow& window);
    // Hands every ended cycle and outage notice to the tray, and the window's run state. The tray must outlive this.
    void connectTray(TrayIcon& tray, MainWindow& window);
    // Hands every ended cycle, the run's state and its idle polls to the status file, whose failures to write get a
    // line in the window's status box. The status file must outlive this.
    void connectStatus(StatusFile& status, MainWindow& window);
    // Tells the system log when polling starts and stops and why, of a run ended by an error, of lasting failures,
    // and of what the output reports (the start's look back, refused mail, a lock file that cannot be made).
    void connectSystemLog(const SystemEventWriter& log);

private:
    UdpLink m_link;
    SystemClock m_clock;
    UploadOutput m_output;
    CommControl m_control;
};
