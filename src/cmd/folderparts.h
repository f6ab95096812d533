#pragma once

#include "folderaccess.h"
#include "listoutput.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace mixgen::cmd {

// A huge folder (hundreds of thousands of files in one) is read by several threads at once,
// each from its own place: on ext4, whose hashed folders hand out their entries in the order of
// their positions, the range of positions is cut into equal parts, each read, matched and
// sorted by one thread, and the sorted parts are merged.
struct FolderPart {
    std::int64_t from = 0;
    std::int64_t until = -1; // -1: to the end of the folder
    bool whole() const { return from == 0 && until < 0; }
};

// The parts to read a folder of the given file system in: count equal ones where the file
// system hands out entries by position, else the whole folder.
std::vector<FolderPart> folderParts(const FileSystemFacts& facts, unsigned count);

// False when no entry of the open folder lies in part (read from its own descriptor, which is
// moved): the first entry from part.from is then the first from part.until as well.
bool partHoldsEntries(int fd, const FolderPart& part);

// Appends to out the lines of sorted, each a list of lines "prefix name\r\n" in the order of
// the names (given as the blocks it lies in, no line cut between two), merged into that order.
void mergeSortedLines(const std::vector<std::vector<std::string_view>>& sorted,
                      std::size_t prefixLength, ListOutput& out);

} // namespace mixgen::cmd
