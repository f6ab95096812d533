#pragma once

#include "listoutput.h"
#include "namepattern.h"

#include <sys/types.h>

#include <deque>
#include <string>
#include <unordered_set>
#include <vector>

namespace mixgen::cmd {

// The walk of dir /s /b: every file below a folder whose name matches a pattern, the folder's
// own matches first (in case-insensitive name order), then each subfolder's, depth first.
// Hidden entries (a name starting with ".") are skipped, symbolic links are followed, each
// folder is walked once (so link loops end), unreadable folders are skipped, and a name
// holding a line break is left out. Paths are written in code page 437, CR LF ended.
//
// One walk serves several patterns at once; each pattern's lines go to its own output, in
// walk order, exactly as separate walks would give them.
class TreeWalker {
public:
    // trustEntryTypes false makes every entry's type unknown, as some file systems report
    // it, so each entry is looked up with a stat.
    explicit TreeWalker(bool trustEntryTypes = true) : m_trustEntryTypes(trustEntryTypes) {}

    // folder is the folder as written (UTF-8, ending in "/", or empty for the current one);
    // it starts every path. outputs[i] receives the matches of patterns[i]. At most 64
    // patterns. Returns false (errno set) when the folder itself cannot be read.
    bool walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
              const std::vector<ListOutput*>& outputs);

private:
    struct Entry {
        std::size_t nameOffset; // into the level's buffer (which may move while it grows)
        std::size_t nameLength;
    };
    struct Match {
        Entry entry;
        std::uint64_t patterns; // bit i: pattern i matched
    };
    // The working storage of one depth, reused for every folder at that depth.
    struct Level {
        std::vector<char> buffer;
        std::vector<Match> files;
        std::vector<Entry> folders;
    };
    struct FolderId {
        dev_t device;
        ino_t inode;
        bool operator==(const FolderId&) const = default;
    };
    struct FolderIdHash {
        std::size_t operator()(const FolderId& id) const {
            return std::hash<std::uint64_t>()(std::uint64_t(id.inode) * 0x9E3779B97F4A7C15ull ^
                                              std::uint64_t(id.device));
        }
    };

    void walkFolder(int fd, std::size_t depth);
    bool readEntries(int fd, Level& level);
    bool firstVisit(int fd);

    bool m_trustEntryTypes;
    const std::vector<const NamePattern*>* m_patterns = nullptr;
    const std::vector<ListOutput*>* m_outputs = nullptr;
    std::string m_path;      // the current folder's path in code page 437, ending in "/"
    std::string m_nameCp437; // scratch: one name in code page 437
    std::deque<Level> m_levels;
    std::unordered_set<FolderId, FolderIdHash> m_visited;
};

} // namespace mixgen::cmd
