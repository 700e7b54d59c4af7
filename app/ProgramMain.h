#pragma once
// The program's composition root: creates the application, wires the objects and shows the main window. zelbo_udp's
// main() is this alone; a test build may add to the wiring, the shipped program never reads a test setting.

#include <functional>

class CommObjects;
class SessionWatcher;
struct ProgramPaths;

// Called once the run side and the session's end are wired, before the window loads its settings.
using WiringHook = std::function<void(CommObjects& comm, const ProgramPaths& paths, SessionWatcher& session)>;

int programMain(int argc, char* argv[], const WiringHook& wired = {});
