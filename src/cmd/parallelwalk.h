#pragma once

#include "listoutput.h"
#include "namepattern.h"
#include "treewalker.h"

#include <string>
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
    ParallelWalk(bool trustEntryTypes, unsigned threads);

    // As TreeWalker::walk.
    bool walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
              const std::vector<ListOutput*>& outputs);

private:
    struct Piece;

    std::vector<Piece> cutIntoPieces(const std::string& folder,
                                     const std::vector<const NamePattern*>& patterns);
    void walkSubtrees(std::vector<Piece>& pieces, const std::vector<const NamePattern*>& patterns,
                      const std::vector<ListOutput*>& outputs);

    bool m_trustEntryTypes;
    unsigned m_threads;
    TreeWalker m_walker; // this thread's: the top levels, and subtrees walked again in order
};

// The number of threads a walk uses by default: one per core, at least two.
unsigned defaultWalkThreads();

} // namespace mixgen::cmd
