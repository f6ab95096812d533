#pragma once

#include "listoutput.h"
#include "namepattern.h"
#include "treewalker.h"

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mixgen::cmd {

// The walk of dir /s /b on several threads, listing exactly what one TreeWalker lists, in the
// same order. The top levels of the tree are read first and cut, in walk order, into pieces:
// each folder's own files, and the subtrees below. Threads walk the subtrees at once, each into
// buffers of its own, and the pieces are written in order. A subtree that entered a folder an
// earlier piece had entered already (through a link) is walked again, in order, with
// everything entered before it known, so links and loops come out as a single walk lists them.
class ParallelWalk {
public:
    // The walk starts on threads walkers; while they wait for the disk rather than work (a
    // tree not in the cache), more are added, up to mostThreads (never fewer than threads).
    ParallelWalk(bool trustEntryTypes, unsigned threads, unsigned mostThreads = 0);
    ~ParallelWalk();

    // As TreeWalker::walk.
    bool walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
              const std::vector<ListOutput*>& outputs);

    // Replaces the look at the CPU time by which the walk tells that its walkers wait for the
    // disk (a test makes it always so, to have walkers added in the middle of a walk).
    void tellDiskWaitsBy(std::function<bool()> walkersWaitForDisk) {
        m_walkersWaitForDisk = std::move(walkersWaitForDisk);
    }
    // Folders of the top levels at least this big (in bytes, as a stat gives a folder's size)
    // are read by several threads at once.
    void shareFoldersFrom(std::size_t bytes) { m_shareFoldersFrom = bytes; }
    // The most walkers a walk has had at once.
    unsigned mostWalkersUsed() const { return m_mostWalkersUsed; }
    // As TreeWalker's: the folders listed that could not be read whole, in walk order.
    std::vector<TreeWalker::PartlyRead> takePartlyRead() { return std::exchange(m_partlyRead, {}); }

private:
    struct CutFolder;
    struct Piece;
    class Subtrees;

    // The walk's own files are listed into outputs at once.
    std::vector<Piece> cutIntoPieces(const std::string& folder,
                                     const std::vector<const NamePattern*>& patterns,
                                     const std::vector<ListOutput*>& outputs);
    void walkSubtrees(std::vector<Piece>& pieces, const std::vector<const NamePattern*>& patterns,
                      const std::vector<ListOutput*>& outputs);
    // partlyRead: the folder, when it could not be read whole.
    TreeWalker::Listed listCutFolder(const std::string& openPath, const std::string& listedPath,
                                     const std::vector<const NamePattern*>& patterns,
                                     const std::vector<ListOutput*>& outputs,
                                     std::vector<TreeWalker::PartlyRead>& partlyRead);
    // Adds the folders of a piece that is written (in walk order) to those a walk reports.
    void keepPartlyRead(const std::vector<TreeWalker::PartlyRead>& folders);
    void closeCutFolders();

    bool m_trustEntryTypes;
    unsigned m_threads;
    unsigned m_mostThreads;
    std::function<bool()> m_walkersWaitForDisk;
    unsigned m_mostWalkersUsed = 0;
    std::vector<TreeWalker::PartlyRead> m_partlyRead;
    std::size_t m_shareFoldersFrom;
    TreeWalker m_walker;              // this thread's: the top levels
    std::vector<CutFolder> m_folders; // the folders read while cutting, in the order read
};

// The number of threads a walk starts with by default: one per core, at least two.
unsigned defaultWalkThreads();
// How many it may grow to while it waits for the disk: a few per core.
unsigned defaultMostWalkThreads();

} // namespace mixgen::cmd
