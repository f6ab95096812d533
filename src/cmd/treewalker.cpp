#include "treewalker.h"

#include "folderaccess.h"
#include "namecodec.h"
#include "platform/prefetch.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <new>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mixgen::cmd {

namespace {

// The layout of a record that getdents64 returns: inode (8 bytes), offset (8), record
// length (2), type (1), then the name, NUL-terminated.
constexpr std::size_t kOffsetAt = 8;
constexpr std::size_t kRecordLengthAt = 16;
constexpr std::size_t kTypeAt = 18;
constexpr std::size_t kNameAt = 19;

// Room for the directory records of one call; most folders fit in one read.
constexpr std::size_t kRecordsSize = 64 * 1024;

// A folder that does not fit in one read is big: its lists are given room for all its
// entries at once, as its size on disk tells, rather than doubling again and again (each time
// copied into new memory, the old given back to the system). No more than kMostRoomMade bytes
// of names are made room for this way.
constexpr std::size_t kMostRoomMade = std::size_t(64) << 20;
constexpr std::size_t kEntryBytes = 32;

// A level's names, offsets into them 32 bits: a folder with more (some 16 million names of 255
// bytes) is read up to there, and named as not read whole.
constexpr std::size_t kMostNameBytes = UINT32_MAX;

// The length of a record's name. Records are padded to eight bytes, so the name's ending zero
// lies in the record's last eight: the first zero byte there from the name's start on.
std::size_t nameLengthOf(const char* record, unsigned short recordLength) {
    if constexpr (std::endian::native != std::endian::little)
        return std::strlen(record + kNameAt);
    std::uint64_t last;
    const std::size_t lastAt = recordLength - 8u;
    std::memcpy(&last, record + lastAt, sizeof last);
    if (lastAt < kNameAt) // a short name: the type byte and what precedes it are no end
        last |= (std::uint64_t(1) << (8 * (kNameAt - lastAt))) - 1;
    constexpr std::uint64_t kEveryByte = 0x0101010101010101ULL;
    // The lowest byte that is zero sets the lowest bit here (higher ones may be wrong).
    const std::uint64_t zeros = (last - kEveryByte) & ~last & (kEveryByte << 7);
    return lastAt + std::size_t(std::countr_zero(zeros)) / 8 - kNameAt;
}

// How many names ahead of the one written a folder's listing asks the memory for.
constexpr std::size_t kNamesAhead = 8;

// Folders kept open at once: a few dozen, fewer under a low open-files limit. Deeper trees
// close the shallowest and open them again by name when they are needed, so no tree is too
// deep for the limit.
std::size_t mostOpenFolders(unsigned sharers) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return 64;
    const auto spare = static_cast<std::size_t>(limit.rlim_cur > 16 ? limit.rlim_cur - 16 : 0);
    return std::clamp<std::size_t>(spare / 2 / std::max(sharers, 1u), 2, 64);
}

} // namespace

TreeWalker::TreeWalker(bool trustEntryTypes, unsigned sharers)
    : m_trustEntryTypes(trustEntryTypes), m_mostOpen(mostOpenFolders(sharers)) {}

bool TreeWalker::walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
                      const std::vector<ListOutput*>& outputs) {
    FolderSet visited;
    m_above.clear();
    return walkBelow(folder.empty() ? "." : folder, folder, visited, nullptr, patterns, outputs);
}

int TreeWalker::openRoot(const FolderStart& start, const std::string& listedPath,
                         const std::vector<const NamePattern*>& patterns,
                         const std::vector<ListOutput*>& outputs) {
    m_patterns = &patterns;
    // The table is made once for the patterns of a walk, not again for each of its pieces.
    const bool samePatterns =
        std::equal(patterns.begin(), patterns.end(), m_tablePatterns.begin(), m_tablePatterns.end(),
                   [](const NamePattern* a, const NamePattern& b) { return *a == b; });
    if (!samePatterns) {
        m_tablePatterns.clear();
        for (const NamePattern* pattern : patterns)
            m_tablePatterns.push_back(*pattern);
        for (std::size_t byte = 0; byte < m_patternsByLastByte.size(); ++byte) {
            std::uint64_t candidates = 0;
            for (std::size_t i = 0; i < patterns.size(); ++i) {
                if (patterns[i]->mayEndWith(static_cast<unsigned char>(byte)))
                    candidates |= std::uint64_t(1) << i;
            }
            m_patternsByLastByte[byte] = candidates;
        }
    }
    m_outputs = &outputs;
    m_path = listedPath;
    if (m_records.size() < kRecordsSize)
        m_records.resize(kRecordsSize);
    if (m_levels.empty())
        m_levels.emplace_back();
    Level& root = m_levels.front();
    root.openName = start.name;
    m_rootParentFd = start.parentFd;
    int fd;
    if (start.parentFd == AT_FDCWD) {
        fd = openFolderAt(AT_FDCWD, root.openName.c_str());
        if (fd < 0)
            return -1;
        if (!identify(fd, root.id)) {
            ::close(fd);
            errno = EIO;
            return -1;
        }
        root.facts = factsOf(fd);
    } else {
        fd = openSubfolder(start.parentFd, start.parentId, start.parentFacts, start.entryInode,
                           root);
        if (fd < 0)
            return -1;
    }
    m_shallowestOpen = 0;
    opened(0, fd);
    return fd;
}

void TreeWalker::finishWalk() {
    closeLevel(0);
    m_visited = nullptr;
    m_entered = nullptr;
}

bool TreeWalker::walkBelow(const std::string& openPath, const std::string& listedPath,
                           FolderSet& visited, std::vector<FolderId>* entered,
                           const std::vector<const NamePattern*>& patterns,
                           const std::vector<ListOutput*>& outputs) {
    return walkBelow(FolderStart{AT_FDCWD, openPath}, listedPath, visited, entered, patterns,
                     outputs);
}

bool TreeWalker::walkBelow(const FolderStart& start, const std::string& listedPath,
                           FolderSet& visited, std::vector<FolderId>* entered,
                           const std::vector<const NamePattern*>& patterns,
                           const std::vector<ListOutput*>& outputs) {
    if (openRoot(start, listedPath, patterns, outputs) < 0)
        return false;
    m_visited = &visited;
    m_entered = entered;
    if (firstVisit(m_levels.front().id, m_levels.front().facts, 0))
        walkFolder(0);
    finishWalk();
    return true;
}

TreeWalker::Listed TreeWalker::listFolder(const std::string& openPath,
                                          const std::string& listedPath,
                                          const std::vector<const NamePattern*>& patterns,
                                          const std::vector<ListOutput*>& outputs,
                                          const FolderPart& part) {
    Listed listed;
    const int fd = openRoot(FolderStart{AT_FDCWD, openPath}, listedPath, patterns, outputs);
    if (fd < 0)
        return listed;
    listed.opened = true;
    listed.id = m_levels.front().id;
    listed.facts = m_levels.front().facts;
    if (!part.whole()) {
        if (!partHoldsEntries(fd, part) || ::lseek(fd, part.from, SEEK_SET) < 0) {
            finishWalk();
            return listed;
        }
        m_partEnd = part.until;
        const std::int64_t until = part.until < 0 ? kEndOfFolderOffset : part.until;
        m_partShare = double(until - part.from) / double(kEndOfFolderOffset);
    }
    listFiles(0);
    m_partEnd = -1;
    m_partShare = 1.0;
    const Level& level = m_levels.front();
    for (const Entry& folder : level.folders) {
        const std::string_view name(level.names.data() + folder.nameOffset, folder.nameLength);
        if (!holdsLineBreak(name)) {
            listed.subfolders.emplace_back(name);
            listed.subfolderInodes.push_back(folder.inode);
        }
    }
    finishWalk();
    return listed;
}

bool TreeWalker::firstVisit(const FolderId& id, const FileSystemFacts& facts, std::size_t depth) {
    if (facts.idsMayRepeat) {
        // Neither marked nor remembered: another folder there may have the same id.
        for (std::size_t level = 0; level < depth; ++level) {
            if (m_levels[level].id == id)
                return false;
        }
        return std::find(m_above.begin(), m_above.end(), id) == m_above.end();
    }
    if (!m_visited->insert(id))
        return false;
    if (m_entered)
        m_entered->push_back(id);
    return true;
}

void TreeWalker::opened(std::size_t depth, int fd) {
    m_levels[depth].fd = fd;
    ++m_openLevels;
    if (depth < m_shallowestOpen)
        m_shallowestOpen = depth;
    // The level just opened is the deepest open one, so the shallowest is never it.
    while (m_openLevels > m_mostOpen) {
        while (m_levels[m_shallowestOpen].fd < 0)
            ++m_shallowestOpen;
        closeLevel(m_shallowestOpen);
    }
}

void TreeWalker::closeLevel(std::size_t depth) {
    Level& level = m_levels[depth];
    if (level.fd < 0)
        return;
    ::close(level.fd);
    level.fd = -1;
    --m_openLevels;
}

int TreeWalker::folderFd(std::size_t depth) {
    Level& level = m_levels[depth];
    if (level.fd >= 0)
        return level.fd;
    const int parent = depth == 0 ? m_rootParentFd : folderFd(depth - 1);
    if (parent < 0 && depth != 0)
        return -1;
    const int fd = openFolderAt(parent, level.openName.c_str());
    if (fd < 0)
        return -1;
    // Renamed or replaced meanwhile: the rest of that folder is not walked.
    FolderId now{};
    if (!identify(fd, now) || !(now == level.id)) {
        ::close(fd);
        return -1;
    }
    opened(depth, fd);
    return fd;
}

bool TreeWalker::readEntries(int fd, Level& level) {
    level.names.clear();
    level.files.clear();
    level.folders.clear();

    const std::vector<const NamePattern*>& patterns = *m_patterns;
    for (int reads = 0;; ++reads) {
        if (reads == 1)
            makeRoomForBigFolder(fd, level);
        const long got = ::syscall(SYS_getdents64, fd, m_records.data(), m_records.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;

        const char* const base = m_records.data();
        std::int64_t lastOffset = 0;
        for (std::size_t at = 0; at < static_cast<std::size_t>(got);) {
            const char* record = base + at;
            if (m_partEnd >= 0 && lastOffset >= m_partEnd) // the entries past the part's end
                return true;
            std::memcpy(&lastOffset, record + kOffsetAt, sizeof lastOffset);
            unsigned short recordLength;
            std::memcpy(&recordLength, record + kRecordLengthAt, sizeof recordLength);
            at += recordLength;

            const char* name = record + kNameAt;
            if (name[0] == '.') // hidden, and "." and ".."
                continue;
            const std::size_t nameLength = nameLengthOf(record, recordLength);
            if (level.names.size() + nameLength > kMostNameBytes) {
                errno = EOVERFLOW;
                return false;
            }
            const auto offset = std::uint32_t(level.names.size());

            unsigned char type = static_cast<unsigned char>(DT_UNKNOWN);
            if (m_trustEntryTypes)
                type = static_cast<unsigned char>(record[kTypeAt]);
            if (type == DT_LNK || type == DT_UNKNOWN) {
                // Follow the link (or learn the type) with one stat; a broken link is no file.
                struct stat info;
                if (::fstatat(fd, name, &info, 0) != 0)
                    continue;
                type = S_ISDIR(info.st_mode) ? DT_DIR : S_ISREG(info.st_mode) ? DT_REG : DT_UNKNOWN;
            }

            if (type == DT_DIR) {
                Entry entry{orderKeys({name, nameLength}), offset, std::uint32_t(nameLength)};
                // A folder itself (no link) on a file system whose entries tell its inode.
                if (level.facts.entryInodesAreReal && m_trustEntryTypes &&
                    record[kTypeAt] == DT_DIR)
                    std::memcpy(&entry.inode, record, sizeof entry.inode);
                level.names.append(name, nameLength);
                level.folders.push_back(entry);
                continue;
            }
            if (type != DT_REG) // a pipe, device or socket plays no song, and may block a player
                continue;
            const std::string_view nameView(name, nameLength);
            std::uint64_t matched = 0;
            const auto lastByte = static_cast<unsigned char>(name[nameLength - 1]);
            std::uint64_t candidates = m_patternsByLastByte[lastByte];
            if (nameLength >= 8 && candidates != 0) {
                const NamePattern::NameTail tail = NamePattern::tailOf(nameView);
                for (; candidates != 0; candidates &= candidates - 1) {
                    const auto i = static_cast<std::size_t>(__builtin_ctzll(candidates));
                    if (patterns[i]->matches(nameView, tail))
                        matched |= std::uint64_t(1) << i;
                }
            }
            for (; candidates != 0; candidates &= candidates - 1) {
                const auto i = static_cast<std::size_t>(__builtin_ctzll(candidates));
                if (patterns[i]->matches(nameView))
                    matched |= std::uint64_t(1) << i;
            }
            // A name holding a line break cannot stand on one line of the list; it is
            // looked at now, while its bytes are at hand.
            if (matched != 0 && !holdsLineBreak(nameView)) {
                level.names.append(name, nameLength);
                level.files.push_back(
                    {orderKeys(nameView), offset, std::uint32_t(nameLength), matched});
            }
        }
        // Saves the read that would only say "nothing more" (one in two, as most folders
        // fit in one read). A read cut short, by a signal say, ends at another offset.
        if ((level.facts.endOffsetIsFinal && lastOffset == kEndOfFolderOffset) ||
            (m_partEnd >= 0 && lastOffset >= m_partEnd))
            return true;
    }
}

void TreeWalker::makeRoomForBigFolder(int fd, Level& level) {
    struct stat info;
    if (::fstat(fd, &info) != 0 || info.st_size <= 0)
        return;
    // The names take less room than their entries on disk, where an entry mostly takes
    // kEntryBytes or more (shorter ones only make the lists grow as usual).
    const auto bytes = std::min(std::size_t(double(info.st_size) * m_partShare), kMostRoomMade);
    try {
        level.names.reserve(bytes);
        level.files.reserve(bytes / kEntryBytes);
    } catch (const std::bad_alloc&) {
        // Only a hint: the lists grow as they would have.
    }
}

void TreeWalker::listFiles(std::size_t depth) {
    Level& level = m_levels[depth];
    // A folder that fails part way still gives what was read, and is named.
    if (!readEntries(level.fd, level))
        m_partlyRead.push_back({m_path, errno});

    const auto nameOf = [&level](const Entry& entry) {
        return std::string_view(level.names.data() + entry.nameOffset, entry.nameLength);
    };

    const auto fileName = [&level](const Match& match) {
        return std::string_view(level.names.data() + match.nameOffset, match.nameLength);
    };
    std::sort(level.files.begin(), level.files.end(), [&](const Match& a, const Match& b) {
        return lessByKeyOrName(a.keys, fileName(a), b.keys, fileName(b));
    });
    const std::vector<ListOutput*>& outputs = *m_outputs;
    // Sorted, the names lie all over the level's buffer: a big folder's would each be a
    // cache miss, so each is asked for a few lines ahead.
    const std::size_t count = level.files.size();
    for (std::size_t i = 0; i < count; ++i) {
        if (i + kNamesAhead < count)
            prefetchLine(level.names.data() + level.files[i + kNamesAhead].nameOffset);
        const Match& match = level.files[i];
        const std::string_view name = fileName(match);
        for (std::uint64_t rest = match.patterns; rest != 0; rest &= rest - 1)
            outputs[static_cast<std::size_t>(__builtin_ctzll(rest))]->append(m_path, name);
    }

    std::sort(level.folders.begin(), level.folders.end(), [&](const Entry& a, const Entry& b) {
        return lessByKeyOrName(a.keys, nameOf(a), b.keys, nameOf(b));
    });
}

int TreeWalker::openSubfolder(int parentFd, const FolderId& parentId,
                              const FileSystemFacts& parentFacts, ino_t entryInode, Level& child) {
    // Most subfolders lie on their parent's file system and are no links: then the entry
    // tells what the folder is, and the stat is saved.
    if (entryInode != 0) {
        const int fd = openSubfolderOnSameDevice(parentFd, child.openName.c_str());
        if (fd >= 0) {
            child.id = {parentId.device, entryInode};
            child.facts = parentFacts;
            return fd;
        }
    }
    const int fd = openFolderAt(parentFd, child.openName.c_str());
    if (fd < 0)
        return -1;
    if (!identify(fd, child.id)) {
        ::close(fd);
        return -1;
    }
    child.facts = child.id.device == parentId.device ? parentFacts : factsOf(fd);
    return fd;
}

void TreeWalker::walkFolder(std::size_t depth) {
    listFiles(depth);
    Level& level = m_levels[depth]; // a deque: the levels above keep their place
    const auto nameOf = [&level](const Entry& entry) {
        return std::string_view(level.names.data() + entry.nameOffset, entry.nameLength);
    };
    if (m_levels.size() <= depth + 1)
        m_levels.emplace_back();
    Level& next = m_levels[depth + 1];
    for (const Entry& folder : level.folders) {
        const std::string_view name = nameOf(folder);
        if (holdsLineBreak(name)) // no path below it could be listed
            continue;
        const int parent = folderFd(depth);
        if (parent < 0)
            break;
        next.openName.assign(name);
        const int child = openSubfolder(parent, level.id, level.facts, folder.inode, next);
        if (child < 0) // unreadable: skipped
            continue;
        if (!firstVisit(next.id, next.facts, depth + 1)) {
            ::close(child);
            continue;
        }
        opened(depth + 1, child);
        const std::size_t keep = m_path.size();
        m_path.append(name);
        m_path.push_back('/');
        walkFolder(depth + 1);
        m_path.resize(keep);
        closeLevel(depth + 1);
    }
}

} // namespace mixgen::cmd
