// Plays Windows ending the session and another program cancelling it, for the session-end test: sends every top-level
// window of a process WM_QUERYENDSESSION (a logoff), then WM_ENDSESSION with FALSE, as Windows does after a program
// refused the end. Waits up to 30 s for a visible window of Qt's in the process first. Prints what the windows
// answered; exits 0 when none refused, 3 when one did, 1 on no window or a message that was not answered.
// Usage: end_session PID
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <vector>

namespace {

struct Search
{
    DWORD processId = 0;
    std::vector<HWND> windows;
    bool qtWindow = false;
};

BOOL CALLBACK collect(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<Search*>(parameter);
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    if (processId == search->processId) {
        search->windows.push_back(window);
        wchar_t name[256] = {};
        GetClassNameW(window, name, 256);
        // Qt registers its windows' classes as "Qt<version>QWindow…"; only those turn the messages into Qt's.
        if (std::wcsncmp(name, L"Qt", 2) == 0 && std::wcsstr(name, L"QWindow") != nullptr && IsWindowVisible(window)) {
            search->qtWindow = true;
        }
    }
    return TRUE;
}

bool sendToAll(const std::vector<HWND>& windows, UINT message, WPARAM wParam, int& refused)
{
    for (HWND window : windows) {
        DWORD_PTR answer = 0;
        if (!SendMessageTimeoutW(window, message, wParam, ENDSESSION_LOGOFF, SMTO_NORMAL, 30000, &answer)) {
            std::fprintf(stderr, "end_session: message 0x%x not answered: error %lu\n", message, GetLastError());
            return false;
        }
        if (message == WM_QUERYENDSESSION && answer == 0) {
            ++refused;
        }
    }
    return true;
}

} // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 2) {
        std::fputs("usage: end_session PID\n", stderr);
        return 2;
    }
    Search search;
    search.processId = static_cast<DWORD>(std::wcstoul(argv[1], nullptr, 10));
    for (int attempt = 0; attempt < 300 && !search.qtWindow; ++attempt) {
        search.windows.clear();
        EnumWindows(collect, reinterpret_cast<LPARAM>(&search));
        if (!search.qtWindow) {
            Sleep(100);
        }
    }
    if (!search.qtWindow) {
        std::fputs("end_session: the process has no visible window of Qt's\n", stderr);
        return 1;
    }
    int refused = 0;
    if (!sendToAll(search.windows, WM_QUERYENDSESSION, 0, refused)) {
        return 1;
    }
    std::printf("QUERYENDSESSION windows=%lu refused=%d\n", static_cast<unsigned long>(search.windows.size()), refused);
    std::fflush(stdout);
    if (!sendToAll(search.windows, WM_ENDSESSION, FALSE, refused)) {
        return 1;
    }
    std::puts("ENDSESSION FALSE");
    return refused == 0 ? 0 : 3;
}
