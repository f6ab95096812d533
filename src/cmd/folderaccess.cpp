#include "folderaccess.h"

#include <atomic>
#include <cerrno>
#include <fcntl.h>
#include <linux/magic.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mixgen::cmd {

namespace {

#ifndef XFS_SUPER_MAGIC
constexpr long XFS_SUPER_MAGIC = 0x58465342;
#endif
#ifndef FUSE_SUPER_MAGIC
constexpr long FUSE_SUPER_MAGIC = 0x65735546;
#endif

// Set once the kernel (or a sandbox) refuses openat2, so it is not asked again.
std::atomic<bool> g_openat2Unavailable{false};

} // namespace

FileSystemFacts factsOf(int folderFd) {
    struct statfs info;
    if (::fstatfs(folderFd, &info) != 0)
        return {};
    const auto type = static_cast<long>(info.f_type);
    FileSystemFacts facts;
    facts.entryInodesAreReal = type == EXT4_SUPER_MAGIC /* also ext2 and ext3 */ ||
                               type == TMPFS_MAGIC || type == XFS_SUPER_MAGIC;
    // ext2 and ext4 without hashed folders share the type, but end a folder at its size,
    // never at this offset, so they are simply read once more.
    facts.endOffsetIsFinal = type == EXT4_SUPER_MAGIC;
    facts.idsMayRepeat = type == FUSE_SUPER_MAGIC;
    return facts;
}

int openFolderAt(int parent, const char* name) {
    int fd;
    do {
        fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int openSubfolderOnSameDevice(int parent, const char* name) {
    if (g_openat2Unavailable.load(std::memory_order_relaxed))
        return -1;
    open_how how{};
    how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
    how.resolve = RESOLVE_NO_XDEV | RESOLVE_NO_SYMLINKS;
    long fd;
    do {
        fd = ::syscall(SYS_openat2, parent, name, &how, sizeof how);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0 && (errno == ENOSYS || errno == EPERM))
        g_openat2Unavailable.store(true, std::memory_order_relaxed);
    return static_cast<int>(fd);
}

bool identify(int fd, FolderId& id) {
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    id.device = info.st_dev;
    id.inode = info.st_ino;
    return true;
}

} // namespace mixgen::cmd
