// Loaded into mixgen-cmd with LD_PRELOAD by tests: reading the folder whose last part is named
// in MIXGEN_TEST_FAILING_FOLDER fails part way, as on a failing disk or an exFAT stick. Its
// first read of each opening gives what the system gives; every later read fails with EIO.
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

bool failsNow(int fd) {
    const char* failing = std::getenv("MIXGEN_TEST_FAILING_FOLDER");
    if (failing == nullptr || ::lseek(fd, 0, SEEK_CUR) == 0)
        return false;
    char link[64];
    char target[PATH_MAX];
    std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
    const ssize_t length = ::readlink(link, target, sizeof target - 1);
    if (length <= 0)
        return false;
    const std::string path(target, static_cast<std::size_t>(length));
    const std::string name = "/" + std::string(failing);
    return path.size() >= name.size() &&
           path.compare(path.size() - name.size(), name.size(), name) == 0;
}

} // namespace

extern "C" long syscall(long number, ...) {
    va_list list;
    va_start(list, number);
    long arguments[6];
    for (long& argument : arguments)
        argument = va_arg(list, long);
    va_end(list);
    if (number == SYS_getdents64 && failsNow(static_cast<int>(arguments[0]))) {
        errno = EIO;
        return -1;
    }
    using Real = long (*)(long, ...);
    static const Real real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "syscall"));
    return real(number, arguments[0], arguments[1], arguments[2], arguments[3], arguments[4],
                arguments[5]);
}
