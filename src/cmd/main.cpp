// mixgen-cmd: the batch interpreter that runs the song search's batch file.
#include "batchrunner.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace {

// Makes every file name a test for an entry's type with a stat, as on a file system that
// reports no types. Not shown in the usage: it exists to check that fallback.
constexpr std::string_view kStatEveryEntry = "--stat-every-entry";
// Walks on this many threads instead of one per core; "--threads 1" gives the single walk the
// parallel one must match. Not shown in the usage either.
constexpr std::string_view kThreads = "--threads";

bool readWholeFile(const char* path, std::string& bytes) {
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char block[64 * 1024];
    for (;;) {
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            const int error = errno;
            ::close(fd);
            errno = error;
            return false;
        }
        if (got == 0)
            break;
        bytes.append(block, static_cast<std::size_t>(got));
    }
    ::close(fd);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    bool trustEntryTypes = true;
    unsigned threads = mixgen::cmd::defaultWalkThreads();
    unsigned mostThreads = mixgen::cmd::defaultMostWalkThreads();
    int first = 1;
    for (;;) {
        if (first < argc && argv[first] == kStatEveryEntry) {
            trustEntryTypes = false;
            ++first;
        } else if (first + 1 < argc && argv[first] == kThreads) {
            threads = static_cast<unsigned>(std::clamp(std::atoi(argv[first + 1]), 1, 64));
            mostThreads = threads;
            first += 2;
        } else {
            break;
        }
    }
    if (argc - first != 1) {
        std::fputs("Usage: mixgen-cmd <batch file>\n", stderr);
        return 2;
    }

    std::string batch;
    if (!readWholeFile(argv[first], batch)) {
        std::fprintf(stderr, "mixgen-cmd: cannot read \"%s\": %s\n", argv[first],
                     std::strerror(errno));
        return 1;
    }

    // A closed standard output, or a list past the file-size limit, must not end the run
    // half way: the write reports it instead, and the status tells the program.
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);
    mixgen::cmd::BatchRunner runner(trustEntryTypes, threads, mostThreads);
    runner.run(batch);
    // Everything is written: the process ends here, its memory taken back by the system in
    // one go rather than freed object by object.
    std::_Exit(runner.listFailed() ? 1 : 0);
}
