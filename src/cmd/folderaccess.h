#pragma once

#include "folderset.h"

namespace mixgen::cmd {

// True when, on the file system the open folder lies on, a subfolder's inode as its parent's
// entry gives it is the one a stat would give, so the walk knows the subfolder without a stat.
// Only for the types known to keep them alike (not btrfs subvolumes, FUSE, network shares...).
bool entryInodesAreReal(int folderFd);

// Opens a folder (following links), retrying on interruption. -1 with errno set on failure.
int openFolderAt(int parent, const char* name);

// Opens a subfolder only when it lies on its parent's file system and name is no link; -1
// otherwise (then openFolderAt and a stat tell what it is).
int openSubfolderOnSameDevice(int parent, const char* name);

// The open folder's device and inode.
bool identify(int fd, FolderId& id);

} // namespace mixgen::cmd
