#include "treewalker.h"

#include "namecodec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace mixgen::cmd {

namespace {

// The layout of a record that getdents64 returns: inode (8 bytes), offset (8), record
// length (2), type (1), then the name, NUL-terminated.
constexpr std::size_t kRecordLengthAt = 16;
constexpr std::size_t kTypeAt = 18;
constexpr std::size_t kNameAt = 19;

// Room for the directory records of one call; most folders fit in one read.
constexpr std::size_t kFirstBufferSize = 64 * 1024;
constexpr std::size_t kLeastRoom = 16 * 1024;

int openFolderAt(int parent, const char* name) {
    int fd;
    do {
        fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

} // namespace

bool TreeWalker::walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
                      const std::vector<ListOutput*>& outputs) {
    m_patterns = &patterns;
    m_outputs = &outputs;
    m_visited.clear();
    m_path.clear();
    appendAsCp437(m_path, folder);

    const int fd = openFolderAt(AT_FDCWD, folder.empty() ? "." : folder.c_str());
    if (fd < 0)
        return false;
    if (firstVisit(fd))
        walkFolder(fd, 0);
    ::close(fd);
    return true;
}

bool TreeWalker::firstVisit(int fd) {
    struct stat info;
    if (::fstat(fd, &info) != 0)
        return false;
    return m_visited.insert({info.st_dev, info.st_ino}).second;
}

bool TreeWalker::readEntries(int fd, Level& level) {
    level.files.clear();
    level.folders.clear();
    if (level.buffer.size() < kFirstBufferSize)
        level.buffer.resize(kFirstBufferSize);

    const std::vector<const NamePattern*>& patterns = *m_patterns;
    std::size_t used = 0;
    for (;;) {
        if (level.buffer.size() - used < kLeastRoom)
            level.buffer.resize(level.buffer.size() * 2);
        const long got =
            ::syscall(SYS_getdents64, fd, level.buffer.data() + used, level.buffer.size() - used);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got == 0;

        const char* const base = level.buffer.data();
        const std::size_t end = used + static_cast<std::size_t>(got);
        for (std::size_t at = used; at < end;) {
            const char* record = base + at;
            unsigned short recordLength;
            std::memcpy(&recordLength, record + kRecordLengthAt, sizeof recordLength);
            at += recordLength;

            const char* name = record + kNameAt;
            if (name[0] == '.') // hidden, and "." and ".."
                continue;
            const std::size_t nameLength = std::strlen(name);

            unsigned char type = static_cast<unsigned char>(DT_UNKNOWN);
            if (m_trustEntryTypes)
                type = static_cast<unsigned char>(record[kTypeAt]);
            if (type == DT_LNK || type == DT_UNKNOWN) {
                // Follow the link (or learn the type) with one stat; a broken link is no file.
                struct stat info;
                if (::fstatat(fd, name, &info, 0) != 0)
                    continue;
                type = S_ISDIR(info.st_mode) ? DT_DIR : DT_REG;
            }

            const Entry entry{static_cast<std::size_t>(name - base), nameLength};
            if (type == DT_DIR) {
                level.folders.push_back(entry);
                continue;
            }
            const std::string_view nameView(name, nameLength);
            std::uint64_t matched = 0;
            for (std::size_t i = 0; i < patterns.size(); ++i) {
                if (patterns[i]->matches(nameView))
                    matched |= std::uint64_t(1) << i;
            }
            if (matched != 0)
                level.files.push_back({entry, matched});
        }
        used = end;
    }
}

void TreeWalker::walkFolder(int fd, std::size_t depth) {
    if (m_levels.size() <= depth)
        m_levels.emplace_back(); // a deque: the levels above keep their place
    Level& level = m_levels[depth];
    readEntries(fd, level); // a folder that fails part way still gives what was read

    const char* const base = level.buffer.data();
    const auto nameOf = [base](const Entry& entry) {
        return std::string_view(base + entry.nameOffset, entry.nameLength);
    };

    std::sort(level.files.begin(), level.files.end(), [&](const Match& a, const Match& b) {
        return lessCaseInsensitive(nameOf(a.entry), nameOf(b.entry));
    });
    const std::vector<ListOutput*>& outputs = *m_outputs;
    for (const Match& match : level.files) {
        const std::string_view name = nameOf(match.entry);
        if (holdsLineBreak(name))
            continue;
        m_nameCp437.clear();
        appendAsCp437(m_nameCp437, name);
        for (std::uint64_t rest = match.patterns; rest != 0; rest &= rest - 1)
            outputs[static_cast<std::size_t>(__builtin_ctzll(rest))]->append(m_path, m_nameCp437);
    }

    std::sort(level.folders.begin(), level.folders.end(), [&](const Entry& a, const Entry& b) {
        return lessCaseInsensitive(nameOf(a), nameOf(b));
    });
    for (const Entry& folder : level.folders) {
        const std::string_view name = nameOf(folder);
        if (holdsLineBreak(name)) // no path below it could be listed
            continue;
        const int child = openFolderAt(fd, base + folder.nameOffset);
        if (child < 0) // unreadable: skipped
            continue;
        if (firstVisit(child)) {
            const std::size_t keep = m_path.size();
            appendAsCp437(m_path, name);
            m_path.push_back('/');
            walkFolder(child, depth + 1);
            m_path.resize(keep);
        }
        ::close(child);
    }
}

} // namespace mixgen::cmd
