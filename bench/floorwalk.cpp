// The floor: the least any walk of a tree must do, on this machine. It reads every folder with
// getdents64, skips hidden entries, opens subfolders with openat and counts files, nothing
// more (no matching, no order, no output). The root's subfolders are claimed one at a time by
// the threads; a root with few subfolders is cut one level deeper first. Each thread has a
// descriptor table of its own, as the interpreter's walkers have.
//
// Usage: bench_floorwalk [--threads N] FOLDER   (default two threads); prints the counts.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Below this many subfolders the root is cut one level deeper, so each thread has work.
constexpr std::size_t kFewSubfolders = 64;

struct Counts {
    std::size_t files = 0;
    std::size_t folders = 0;
};

struct Dirent64 {
    unsigned long long inode;
    long long offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Reads the open folder fd, counting its files; calls onFolder(name) for each subfolder.
template <typename OnFolder>
void readFolder(int fd, std::vector<char>& buffer, Counts& counts, OnFolder&& onFolder) {
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (got <= 0)
            return;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const Dirent64*>(buffer.data() + at);
            at += entry->length;
            if (entry->name[0] == '.')
                continue;
            if (entry->type == DT_DIR)
                onFolder(entry->name);
            else if (entry->type == DT_REG)
                ++counts.files;
        }
    }
}

// Walks below the open folder fd (closing it), depth first.
void walkBelow(int fd, std::vector<char>& buffer, Counts& counts) {
    ++counts.folders;
    std::vector<std::string> subfolders;
    readFolder(fd, buffer, counts, [&](const char* name) { subfolders.emplace_back(name); });
    for (const std::string& name : subfolders) {
        const int child = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (child >= 0)
            walkBelow(child, buffer, counts);
    }
    ::close(fd);
}

} // namespace

int main(int argc, char** argv) {
    unsigned threads = 2;
    int first = 1;
    if (argc > 3 && std::strcmp(argv[1], "--threads") == 0) {
        threads = static_cast<unsigned>(std::max(1, std::atoi(argv[2])));
        first = 3;
    }
    if (argc - first != 1) {
        std::fputs("Usage: bench_floorwalk [--threads N] FOLDER\n", stderr);
        return 2;
    }

    // The pieces: the root's subfolders, or theirs when it has few.
    Counts top;
    std::vector<char> buffer(64 * 1024);
    std::vector<std::string> pieces{argv[first]};
    for (int level = 0; level < 2 && pieces.size() < kFewSubfolders; ++level) {
        std::vector<std::string> deeper;
        for (const std::string& path : pieces) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            if (fd < 0)
                continue;
            ++top.folders;
            readFolder(fd, buffer, top,
                       [&](const char* name) { deeper.push_back(path + "/" + name); });
            ::close(fd);
        }
        pieces = std::move(deeper);
    }

    std::atomic<std::size_t> next{0};
    std::vector<Counts> counts(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            ::unshare(CLONE_FILES);
            std::vector<char> own(64 * 1024);
            for (std::size_t i; (i = next.fetch_add(1)) < pieces.size();) {
                const int fd = ::open(pieces[i].c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd >= 0)
                    walkBelow(fd, own, counts[t]);
            }
        });
    }
    for (std::thread& worker : workers)
        worker.join();
    for (const Counts& c : counts) {
        top.files += c.files;
        top.folders += c.folders;
    }
    std::printf("%zu files in %zu folders, %u threads\n", top.files, top.folders, threads);
    return 0;
}
