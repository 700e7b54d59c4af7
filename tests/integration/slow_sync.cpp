// Preloaded into the real program by TestSlowSaveFolder: every fsync of a file under ZELBO_SLOW_SYNC_DIR takes
// ZELBO_SLOW_SYNC_SECONDS longer, as on a share whose server has gone quiet; ZELBO_SLOW_SYNC_MARK is created as each
// such sync begins. Linux only; never shipped.

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool underSlowFolder(int fd)
{
    const char* folder = std::getenv("ZELBO_SLOW_SYNC_DIR");
    if (folder == nullptr || *folder == '\0') {
        return false;
    }
    char link[64];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    char target[PATH_MAX];
    const ssize_t length = readlink(link, target, sizeof target - 1);
    if (length <= 0) {
        return false;
    }
    target[length] = '\0';
    return std::strncmp(target, folder, std::strlen(folder)) == 0;
}

void slowDown(int fd)
{
    if (!underSlowFolder(fd)) {
        return;
    }
    if (const char* mark = std::getenv("ZELBO_SLOW_SYNC_MARK")) {
        const int made = open(mark, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
        if (made >= 0) {
            close(made);
        }
    }
    const char* seconds = std::getenv("ZELBO_SLOW_SYNC_SECONDS");
    sleep(seconds != nullptr ? unsigned(std::atoi(seconds)) : 8U);
}

template <typename Call> Call next(const char* name)
{
    return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

} // namespace

extern "C" int fsync(int fd)
{
    slowDown(fd);
    static const auto real = next<int (*)(int)>("fsync");
    return real(fd);
}

extern "C" int fdatasync(int fd)
{
    slowDown(fd);
    static const auto real = next<int (*)(int)>("fdatasync");
    return real(fd);
}
