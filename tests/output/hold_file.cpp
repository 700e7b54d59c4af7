// Holds a file open for reading as another program would, for the writer's tests of Windows' share modes:
// "r" lets others only read it (Excel with a text file open), "rw" lets them read and write but not rename or delete it
// (a scanner or indexer). Prints HELD once the file is open, then holds it for the given milliseconds.
// Usage: hold_file PATH MS r|rw
#include <windows.h>

#include <cstdio>
#include <cwchar>

int wmain(int argc, wchar_t** argv)
{
    if (argc != 4) {
        std::fputs("usage: hold_file PATH MS r|rw\n", stderr);
        return 2;
    }
    const DWORD share = std::wcscmp(argv[3], L"rw") == 0 ? FILE_SHARE_READ | FILE_SHARE_WRITE : FILE_SHARE_READ;
    const HANDLE file =
        CreateFileW(argv[1], GENERIC_READ, share, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        std::fprintf(stderr, "hold_file: cannot open the file: error %lu\n", GetLastError());
        return 1;
    }
    std::puts("HELD");
    std::fflush(stdout);
    Sleep(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)));
    CloseHandle(file);
    return 0;
}
