// The floor: the least any walk of a tree must do, on this machine. It reads every folder with
// getdents64, skips hidden entries, opens subfolders with openat and counts files, nothing
// more (no matching, no order, no output). The root's subfolders are claimed one at a time by
// the threads; a root with few subfolders is cut one level deeper first. A root with no
// subfolders and a megabyte of entries (one huge folder) is read in ranges of its positions,
// which the threads claim one at a time, on ext4, whose hashed folders hand out their entries in
// the order of their positions. The interpreter reads such a folder so; read by one thread,
// it would give no two-thread floor. Each thread has a descriptor table of its own, as the
// interpreter's walkers have.
//
// Usage: bench_floorwalk [--threads N] FOLDER   (default two threads); prints the counts.
#include <atomic>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <sched.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace {

// Below this many subfolders the root is cut one level deeper, so each thread has work.
constexpr std::size_t kFewSubfolders = 64;
// A folder this big on disk is read in ranges of positions, this many a thread.
constexpr off_t kHugeFolderBytes = off_t(1) << 20;
constexpr unsigned kRangesPerThread = 4;

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

// Reads the open folder fd from where it stands, counting its files; calls onFolder(name) for
// each subfolder. With until (a position), stops at the first entry from there.
template <typename OnFolder>
void readFolder(int fd, std::vector<char>& buffer, Counts& counts, OnFolder&& onFolder,
                long long until = -1) {
    long long position = 0; // of the entry read next, as the entry before it tells (0 at first)
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (got <= 0)
            return;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const Dirent64*>(buffer.data() + at);
            if (until >= 0 && position >= until)
                return;
            position = entry->offset;
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

// True when path is one huge folder without subfolders (ext4 counts a folder's subfolders in
// its links) on ext4, whose positions of a hashed folder's entries lie below 2^63.
bool readInRanges(const char* path) {
    struct stat info;
    struct statfs system;
    return ::stat(path, &info) == 0 && S_ISDIR(info.st_mode) && info.st_nlink == 2 &&
           info.st_size >= kHugeFolderBytes && ::statfs(path, &system) == 0 &&
           system.f_type == EXT4_SUPER_MAGIC;
}

// The position of the entry after the first one at or after position at; -1 when none is.
long long positionAfterFirstEntry(int fd, long long at) {
    alignas(8) char records[4096]; // room for the longest name's record, and a few more
    if (::lseek(fd, at, SEEK_SET) < 0 ||
        ::syscall(SYS_getdents64, fd, records, sizeof records) <= 0)
        return -1;
    return reinterpret_cast<const Dirent64*>(records)->offset;
}

// Counts the files of the folder fd whose positions lie in [from, until) (until -1: the end).
void readRange(int fd, long long from, long long until, std::vector<char>& buffer, Counts& counts) {
    // A range holding no entry would otherwise start at the first entry of the next.
    if (until >= 0 && positionAfterFirstEntry(fd, from) == positionAfterFirstEntry(fd, until))
        return;
    const auto noSubfolders = [](const char*) {}; // the folder has none
    if (::lseek(fd, from, SEEK_SET) >= 0)
        readFolder(fd, buffer, counts, noSubfolders, until);
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

    // The pieces: the root's subfolders, or theirs when it has few; or the ranges of a huge root.
    Counts top;
    std::vector<char> buffer(64 * 1024);
    std::vector<std::string> pieces{argv[first]};
    const unsigned ranges =
        threads > 1 && readInRanges(argv[first]) ? kRangesPerThread * threads : 0;
    if (ranges != 0) {
        ++top.folders;
        pieces.clear();
    }
    for (int level = 0; ranges == 0 && level < 2 && pieces.size() < kFewSubfolders; ++level) {
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

    std::atomic<std::size_t> nextRange{0}, next{0};
    std::vector<Counts> counts(threads);
    std::vector<std::thread> workers;
    for (unsigned t = 0; t < threads; ++t) {
        workers.emplace_back([&, t] {
            ::unshare(CLONE_FILES);
            std::vector<char> own(64 * 1024);
            const long long step = LLONG_MAX / (ranges == 0 ? 1 : ranges);
            for (std::size_t i; (i = nextRange.fetch_add(1)) < ranges;) {
                const int fd = ::open(argv[first], O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0)
                    continue;
                const auto from = static_cast<long long>(i) * step;
                readRange(fd, from, i + 1 == ranges ? -1 : from + step, own, counts[t]);
                ::close(fd);
            }
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
