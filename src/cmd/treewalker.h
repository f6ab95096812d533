#pragma once

#include "folderaccess.h"
#include "folderparts.h"
#include "folderset.h"
#include "listoutput.h"
#include "namecodec.h"
#include "namepattern.h"

#include <array>
#include <cstdint>
#include <deque>
#include <fcntl.h>
#include <string>
#include <utility>
#include <vector>

namespace mixgen::cmd {

// The walk of dir /s /b: every file below a folder whose name matches a pattern, the folder's
// own matches first (in case-insensitive name order), then each subfolder's, depth first.
// Hidden entries (a name starting with ".") are skipped, symbolic links are followed, each
// folder is walked once (so link loops end), unreadable folders are skipped, only regular
// files are listed (no pipes, devices or sockets), and a name holding a line break is left
// out. However deep the tree, the walk keeps only a few dozen folders open at once. Paths
// are written as the bytes of their names, CR LF ended.
//
// One walk serves several patterns at once; each pattern's lines go to its own output, in
// walk order, exactly as separate walks would give them.
// Where a walk starts: a folder opened by name from an open folder (AT_FDCWD: name is a path).
// When the parent's entry told the folder's inode (see Listed), the folder is known by it
// without a stat, as every subfolder of a walk is.
struct FolderStart {
    int parentFd = AT_FDCWD;
    std::string name;
    ino_t entryInode = 0;
    FolderId parentId{};
    FileSystemFacts parentFacts{};
};

class TreeWalker {
public:
    // trustEntryTypes false makes every entry's type unknown, as some file systems report
    // it, so each entry is looked up with a stat. sharers is the number of walkers that run
    // at once and share the open-files limit.
    explicit TreeWalker(bool trustEntryTypes = true, unsigned sharers = 1);

    // folder is the folder as written (UTF-8, ending in "/", or empty for the current one);
    // it starts every path. outputs[i] receives the matches of patterns[i]. At most 64
    // patterns. Returns false (errno set) when the folder itself cannot be read.
    bool walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
              const std::vector<ListOutput*>& outputs);

    // The same below one folder, opened by openPath, whose listed paths start with listedPath
    // (ending in "/"). Folders in visited are passed over; every folder entered is added to
    // visited and, when entered is given, appended to it in walk order.
    bool walkBelow(const std::string& openPath, const std::string& listedPath, FolderSet& visited,
                   std::vector<FolderId>* entered, const std::vector<const NamePattern*>& patterns,
                   const std::vector<ListOutput*>& outputs);
    // The same, the folder opened as start says (its parent must stay open meanwhile).
    bool walkBelow(const FolderStart& start, const std::string& listedPath, FolderSet& visited,
                   std::vector<FolderId>* entered, const std::vector<const NamePattern*>& patterns,
                   const std::vector<ListOutput*>& outputs);

    // A folder whose reading failed part way (a disk error, say): its path as listed (ending
    // in "/") and the error. The files read before the failure are listed.
    struct PartlyRead {
        std::string path;
        int error;
    };
    // The folders of the walks so far that could not be read whole, in walk order; taking
    // them forgets them.
    std::vector<PartlyRead> takePartlyRead() { return std::exchange(m_partlyRead, {}); }

    // The folders above the next walkBelow's folder, outermost first: on a file system whose
    // folders may share ids (FileSystemFacts::idsMayRepeat) a folder repeating one of them is
    // a loop. walk starts without any.
    void setFoldersAbove(std::vector<FolderId> above) { m_above = std::move(above); }

    // One folder alone: its own matching files, and its subfolders' names (UTF-8, in walk
    // order, names with line breaks left out) without walking them, each with the inode its
    // entry gave (0 when a stat must tell), and the facts of the folder's file system.
    struct Listed {
        bool opened = false;
        FolderId id{};
        FileSystemFacts facts{};
        std::vector<std::string> subfolders;
        std::vector<ino_t> subfolderInodes;
    };
    // Given a part, only the entries that lie in it (see folderparts.h).
    Listed listFolder(const std::string& openPath, const std::string& listedPath,
                      const std::vector<const NamePattern*>& patterns,
                      const std::vector<ListOutput*>& outputs, const FolderPart& part = {});

private:
    // A subfolder, and a matching file: sorted by the thousand, each is kept to half a cache
    // line (a level's names never exceed 4 GiB, see readEntries).
    struct Entry {
        OrderKeys keys{};         // of the name
        std::uint32_t nameOffset; // into the level's names
        std::uint32_t nameLength;
        ino_t inode = 0; // a subfolder's, when its parent's entry can be trusted for it
    };
    struct Match {
        OrderKeys keys;
        std::uint32_t nameOffset;
        std::uint32_t nameLength;
        std::uint64_t patterns; // bit i: pattern i matched
    };
    // The folder being walked at one depth, and the storage reused for every folder there.
    struct Level {
        std::string names; // the names of its matching files and of its subfolders
        std::vector<Match> files;
        std::vector<Entry> folders;
        int fd = -1;           // -1 while closed to stay within the descriptor budget
        std::string openName;  // how it is opened again from its parent (the root: its path)
        FolderId id{};         // what it must still be when opened again
        FileSystemFacts facts; // of the file system it lies on
    };

    void walkFolder(std::size_t depth);
    // Reads the open folder at depth, writes its matching files and sorts its subfolders.
    void listFiles(std::size_t depth);
    int openRoot(const FolderStart& start, const std::string& listedPath,
                 const std::vector<const NamePattern*>& patterns,
                 const std::vector<ListOutput*>& outputs);
    bool readEntries(int fd, Level& level);
    // Gives a big folder's lists room for all its entries (or the part's share of them).
    void makeRoomForBigFolder(int fd, Level& level);
    // Opens the subfolder named child.openName and learns its id; -1 when it cannot be read.
    int openSubfolder(int parentFd, const FolderId& parentId, const FileSystemFacts& parentFacts,
                      ino_t entryInode, Level& child);
    // Whether the folder with id and facts, below the levels 0 to depth - 1, is to be walked
    // (and is then marked as walked).
    bool firstVisit(const FolderId& id, const FileSystemFacts& facts, std::size_t depth);
    void finishWalk();
    // The level's descriptor, opening it again (and the levels above it) when it was closed.
    int folderFd(std::size_t depth);
    void opened(std::size_t depth, int fd);
    void closeLevel(std::size_t depth);

    bool m_trustEntryTypes;
    const std::vector<const NamePattern*>* m_patterns = nullptr;
    const std::vector<ListOutput*>* m_outputs = nullptr;
    // By a name's last byte: the patterns (bit i: pattern i) that may match it.
    std::array<std::uint64_t, 256> m_patternsByLastByte{};
    std::vector<NamePattern> m_tablePatterns; // the patterns the table was made for
    std::string m_path;                       // the current folder's path as listed, ending in "/"
    std::vector<char> m_records;              // what getdents64 hands back, reused for every folder
    std::deque<Level> m_levels;
    int m_rootParentFd = AT_FDCWD; // the root is opened again from it
    std::size_t m_mostOpen;        // folders kept open at once
    std::size_t m_openLevels = 0;
    std::size_t m_shallowestOpen = 0; // every level above it is closed
    std::int64_t m_partEnd = -1;      // the read of a part ends with the entry that leads here
    double m_partShare = 1.0;         // of the folder's positions, the part being read holds
    FolderSet* m_visited = nullptr;
    std::vector<FolderId> m_above; // the folders above the walk's own
    std::vector<PartlyRead> m_partlyRead;
    std::vector<FolderId>* m_entered = nullptr;
};

} // namespace mixgen::cmd
