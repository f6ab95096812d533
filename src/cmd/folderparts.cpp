#include "folderparts.h"

#include "namecodec.h"

#include <cstring>
#include <string_view>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace mixgen::cmd {

namespace {

// The position after the first entry read from position at (the next entry's position),
// -1 when none follows at.
std::int64_t offsetAfterFirstEntry(int fd, std::int64_t at) {
    if (::lseek(fd, at, SEEK_SET) < 0)
        return -1;
    alignas(8) char records[4096]; // room for the longest name's record
    long got;
    do {
        got = ::syscall(SYS_getdents64, fd, records, sizeof records);
    } while (got < 0 && errno == EINTR);
    if (got <= 0)
        return -1;
    std::int64_t offset;
    std::memcpy(&offset, records + 8, sizeof offset); // after the inode
    return offset;
}

} // namespace

std::vector<FolderPart> folderParts(const FileSystemFacts& facts, unsigned count) {
    if (!facts.endOffsetIsFinal || count < 2)
        return {FolderPart{}};
    // ext4's positions of a hashed folder's entries: half the hash in the high 32 bits, so
    // below 2^63; the folder's end is kEndOfFolderOffset. The parts shrink as they go, part i
    // weighing 2 (count - i) - 1 of count squared: the threads claim the big ones first, and
    // the last ones, which decide how long a thread waits for the others, are small.
    const auto boundary = [count](unsigned i) {
        const auto weightBefore = std::int64_t(i) * (2 * std::int64_t(count) - i);
        const auto total = std::int64_t(count) * count;
        // The offset stays below 2^63: it is cut into total-th parts before it is multiplied.
        return kEndOfFolderOffset / total * weightBefore +
               kEndOfFolderOffset % total * weightBefore / total;
    };
    std::vector<FolderPart> parts;
    for (unsigned i = 0; i < count; ++i)
        parts.push_back({boundary(i), i + 1 == count ? -1 : boundary(i + 1)});
    return parts;
}

bool partHoldsEntries(int fd, const FolderPart& part) {
    if (part.until < 0)
        return true;
    const std::int64_t first = offsetAfterFirstEntry(fd, part.from);
    return first >= 0 && first != offsetAfterFirstEntry(fd, part.until);
}

void mergeSortedLines(const std::vector<std::vector<std::string_view>>& sorted,
                      std::size_t prefixLength, ListOutput& out) {
    struct Head {
        const std::vector<std::string_view>* blocks;
        std::size_t block = 0; // the block the rest lies in
        std::string_view rest; // of that block, the lines not yet merged
        std::string_view line;
        std::string_view name;
        OrderKeys keys; // of the name: most comparisons need no more
    };
    // Moves to the head's next line; false when its list has no more.
    const auto advance = [prefixLength](Head& head) {
        while (head.rest.empty()) {
            if (++head.block >= head.blocks->size())
                return false;
            head.rest = (*head.blocks)[head.block];
        }
        const std::size_t end = head.rest.find('\n');
        head.line = head.rest.substr(0, end + 1);
        head.name = head.line.substr(prefixLength, head.line.size() - prefixLength - 2);
        head.keys = orderKeys(head.name);
        head.rest.remove_prefix(head.line.size());
        return true;
    };
    std::vector<Head> heads;
    std::vector<bool> more; // by head: it has a line left
    for (const std::vector<std::string_view>& blocks : sorted) {
        heads.push_back(
            {&blocks, 0, blocks.empty() ? std::string_view() : blocks.front(), {}, {}, {}});
        more.push_back(advance(heads.back()));
    }
    mergeByTournament(
        more,
        [&](std::size_t a, std::size_t b) {
            return lessByKeyOrName(heads[a].keys, heads[a].name, heads[b].keys, heads[b].name);
        },
        [&](std::size_t i) {
            out.appendBytes(heads[i].line);
            return advance(heads[i]);
        });
}

} // namespace mixgen::cmd
