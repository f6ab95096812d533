#pragma once

#include "folderset.h"

#include <cstdint>

namespace mixgen::cmd {

// What the walk may take from the file system the open folder lies on; both false unless
// the file system's type is known to keep the promise.
struct FileSystemFacts {
    // A subfolder's inode as its parent's entry gives it is the one a stat would give, so the
    // walk knows the subfolder without a stat (ext2/3/4, tmpfs, XFS; not btrfs subvolumes,
    // FUSE, network shares...).
    bool entryInodesAreReal = false;
    // A read of a folder whose last entry's offset is kEndOfFolderOffset has reached the end
    // of the folder, so no read is needed to learn that nothing follows (ext4, whose hashed
    // folders give that offset only once the last entry is handed out).
    bool endOffsetIsFinal = false;
    // Two different folders may share a device and inode (FUSE file systems that pass the
    // inodes of several file systems through, as bindfs does), so a folder counts as walked
    // already only when it repeats one of its own ancestors, as find counts it.
    bool idsMayRepeat = false;
};
constexpr std::int64_t kEndOfFolderOffset = INT64_MAX;
FileSystemFacts factsOf(int folderFd);

// Opens a folder (following links), retrying on interruption. -1 with errno set on failure.
int openFolderAt(int parent, const char* name);

// Opens a subfolder only when it lies on its parent's file system and name is no link; -1
// otherwise (then openFolderAt and a stat tell what it is).
int openSubfolderOnSameDevice(int parent, const char* name);

// The open folder's device and inode.
bool identify(int fd, FolderId& id);

} // namespace mixgen::cmd
