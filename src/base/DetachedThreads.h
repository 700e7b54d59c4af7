#pragma once
// Long-lived threads for jobs nothing waits for. A thread that ends its job goes back to the idle ones rather than
// ending: under Wine, a process whose threads did file work and ended before it could hang in the C++ runtime as it
// exited, and a job every few minutes needs no new thread each time. The idle threads end with the application
// object; one still in a job (a share that hangs) is left to the process's end. Qt Core only.

#include <functional>

namespace DetachedThreads {

// Runs job on an idle thread, or on a new one when none is idle.
void run(std::function<void()> job);

} // namespace DetachedThreads
