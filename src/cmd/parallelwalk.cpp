#include "parallelwalk.h"

#include "namecodec.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <memory>
#include <mutex>
#include <thread>

#include <sched.h>

namespace mixgen::cmd {

namespace {

// The top levels are cut until there are this many subtrees per thread, or this deep.
constexpr std::size_t kSubtreesPerThread = 8;
constexpr int kMostLevelsCut = 4;
// Threads walk at most this many subtrees per thread ahead of the one being written, so
// memory stays bounded by a few subtrees' lists.
constexpr std::size_t kAheadPerThread = 4;
// A writer that has caught up sleeps until this many more subtrees are walked (fewer than the
// walkers may run ahead, so they never wait for it meanwhile).
constexpr std::size_t kWrittenPerWake = 4;
// While it waits, the writer looks this often whether the walkers work or wait for the disk.
constexpr auto kLookEvery = std::chrono::milliseconds(10);
// Walkers that keep less than this share of their cores busy wait for the disk.
constexpr double kBusyShare = 0.5;

// The CPU time the whole process has used.
std::chrono::nanoseconds processTime() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// Tells whether the process kept fewer of its cores busy than its walkers could since the last
// look: then they wait for the disk (a tree not in the cache), and more of them would read
// more folders at once. Looks at most every kLookEvery.
class DiskWaitWatch {
public:
    explicit DiskWaitWatch(unsigned cores)
        : m_cores(cores), m_lookedAt(std::chrono::steady_clock::now()), m_used(processTime()) {}

    bool walkersWaitForDisk() {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lookedAt < kLookEvery)
            return false;
        const auto used = processTime();
        const double busy = std::chrono::duration<double>(used - m_used).count() /
                            std::chrono::duration<double>(now - m_lookedAt).count();
        m_lookedAt = now;
        m_used = used;
        return busy < kBusyShare * m_cores;
    }

private:
    unsigned m_cores;
    std::chrono::steady_clock::time_point m_lookedAt;
    std::chrono::nanoseconds m_used;
};

std::string joined(const std::string& folderPath, const std::string& name) {
    if (folderPath.empty() || folderPath.back() == '/')
        return folderPath + name;
    return folderPath + '/' + name;
}

} // namespace

struct ParallelWalk::Piece {
    enum class Kind { Files, Subtree };
    Kind kind = Kind::Files;
    std::string openPath;
    std::string listedPath;
    int filesId = -1;                // a Files piece's number, in the order they were made
    int parent = -1;                 // the number of the Files piece of the folder it lies in
    std::vector<FolderId> ancestors; // the folders entered above it
    FolderId id{};                   // a Files piece's folder, when opened
    bool idsMayRepeat = false;       // of the file system it lies on
    bool opened = false;
    std::vector<std::unique_ptr<ListOutput>> lists; // one per pattern
    std::vector<FolderId> entered;                  // a Subtree piece's folders, in order
    std::vector<TreeWalker::PartlyRead> partlyRead; // its folders not read whole
    bool walked = false;

    std::vector<ListOutput*> listRefs() {
        std::vector<ListOutput*> refs;
        for (auto& list : lists)
            refs.push_back(list.get());
        return refs;
    }
    void makeLists(std::size_t count) {
        lists.clear();
        for (std::size_t i = 0; i < count; ++i)
            lists.push_back(std::make_unique<ListOutput>());
    }
};

unsigned defaultWalkThreads() {
    return std::max(2u, std::thread::hardware_concurrency());
}

unsigned defaultMostWalkThreads() {
    return std::min(4 * defaultWalkThreads(), 32u);
}

ParallelWalk::ParallelWalk(bool trustEntryTypes, unsigned threads, unsigned mostThreads)
    : m_trustEntryTypes(trustEntryTypes), m_threads(std::max(1u, threads)),
      m_mostThreads(std::max(m_threads, mostThreads)),
      m_walker(trustEntryTypes, m_mostThreads + 1) {}

std::vector<ParallelWalk::Piece>
ParallelWalk::cutIntoPieces(const std::string& folder,
                            const std::vector<const NamePattern*>& patterns) {
    std::vector<Piece> pieces(1);
    int filesMade = 0;
    pieces[0].kind = Piece::Kind::Subtree;
    pieces[0].openPath = folder.empty() ? "." : folder;
    pieces[0].listedPath = folder;

    for (int level = 0; level < kMostLevelsCut; ++level) {
        const auto subtrees = std::count_if(pieces.begin(), pieces.end(), [](const Piece& p) {
            return p.kind == Piece::Kind::Subtree;
        });
        if (level > 0 && std::size_t(subtrees) >= kSubtreesPerThread * m_threads)
            break;
        std::vector<Piece> cut;
        for (Piece& piece : pieces) {
            if (piece.kind == Piece::Kind::Files) {
                cut.push_back(std::move(piece));
                continue;
            }
            // A subtree becomes its folder's own files, then its subfolders' subtrees.
            Piece files;
            files.openPath = piece.openPath;
            files.listedPath = piece.listedPath;
            files.filesId = filesMade++;
            files.parent = piece.parent;
            files.ancestors = piece.ancestors;
            files.makeLists(patterns.size());
            const TreeWalker::Listed listed =
                m_walker.listFolder(files.openPath, files.listedPath, patterns, files.listRefs());
            files.partlyRead = m_walker.takePartlyRead();
            files.opened = listed.opened;
            files.id = listed.id;
            files.idsMayRepeat = listed.facts.idsMayRepeat;
            if (!listed.opened && level == 0)
                return {}; // the folder itself cannot be read
            const int filesId = files.filesId;
            cut.push_back(std::move(files));
            for (const std::string& name : listed.subfolders) {
                Piece subtree;
                subtree.kind = Piece::Kind::Subtree;
                subtree.openPath = joined(piece.openPath, name);
                subtree.listedPath = piece.listedPath;
                subtree.listedPath.append(name);
                subtree.listedPath.push_back('/');
                subtree.parent = filesId;
                subtree.ancestors = piece.ancestors;
                subtree.ancestors.push_back(listed.id);
                cut.push_back(std::move(subtree));
            }
        }
        pieces = std::move(cut);
    }
    return pieces;
}

void ParallelWalk::walkSubtrees(std::vector<Piece>& pieces,
                                const std::vector<const NamePattern*>& patterns,
                                const std::vector<ListOutput*>& outputs) {
    std::vector<std::size_t> subtrees;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (pieces[i].kind == Piece::Kind::Subtree)
            subtrees.push_back(i);
    }

    // A thread is woken only when what it waits for has come: the writer when the piece it
    // writes next is walked, a walker when there is room ahead again. Waking every thread
    // for every piece costs thousands of needless switches on a big tree.
    std::mutex mutex;
    std::condition_variable walkedOne; // the writer waits here
    std::condition_variable roomAhead; // walkers wait here
    std::size_t nextToWalk = 0;        // into subtrees
    std::size_t written = 0;           // subtrees written so far
    std::size_t walked = 0;            // subtrees walked so far, in any order
    // While the writer waits: the piece it writes next, and how many must be walked by then.
    const Piece* writerWaitsFor = nullptr;
    std::size_t writerWaitsUntil = 0;
    unsigned walkersWaiting = 0;
    unsigned walkers = m_threads;
    std::size_t ahead = kAheadPerThread * walkers;

    const auto worker = [&] {
        // A descriptor table of its own: the walker opens and reads its folders alone, and in
        // a table no other thread shares the kernel need not count and lock each use of them.
        ::unshare(CLONE_FILES);
        TreeWalker walker(m_trustEntryTypes, m_mostThreads + 1);
        for (;;) {
            std::size_t index;
            {
                std::unique_lock lock(mutex);
                ++walkersWaiting;
                roomAhead.wait(lock, [&] {
                    return nextToWalk >= subtrees.size() || nextToWalk < written + ahead;
                });
                --walkersWaiting;
                if (nextToWalk >= subtrees.size())
                    return;
                index = subtrees[nextToWalk++];
            }
            Piece& piece = pieces[index];
            piece.makeLists(patterns.size());
            FolderSet visited(piece.ancestors.begin(), piece.ancestors.end());
            walker.setFoldersAbove(piece.ancestors);
            walker.walkBelow(piece.openPath, piece.listedPath, visited, &piece.entered, patterns,
                             piece.listRefs());
            piece.partlyRead = walker.takePartlyRead();
            bool wakeWriter;
            {
                const std::lock_guard lock(mutex);
                piece.walked = true;
                ++walked;
                wakeWriter = writerWaitsFor != nullptr && writerWaitsFor->walked &&
                             walked >= writerWaitsUntil;
            }
            if (wakeWriter)
                walkedOne.notify_one();
        }
    };
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < walkers; ++i)
        threads.emplace_back(worker);
    // Called by the writer, under the lock, whenever it is about to wait: one more walker
    // when those at work wait for the disk.
    DiskWaitWatch watch(std::min(m_threads, std::max(1u, std::thread::hardware_concurrency())));
    const auto addWalkerIfWaitingForDisk = [&] {
        if (walkers >= m_mostThreads || nextToWalk >= subtrees.size())
            return;
        if (!(m_walkersWaitForDisk ? m_walkersWaitForDisk() : watch.walkersWaitForDisk()))
            return;
        ++walkers;
        ahead = kAheadPerThread * walkers;
        threads.emplace_back(worker);
        roomAhead.notify_all();
    };

    // Everything entered so far, in walk order: what a single walk would have visited.
    FolderSet visited;
    // By Files piece number: that folder was not walked here (entered already, or unreadable),
    // so nothing below it is either.
    std::vector<bool> skipped(pieces.size(), false);
    for (Piece& piece : pieces) {
        if (piece.kind == Piece::Kind::Subtree) {
            std::unique_lock lock(mutex);
            if (!piece.walked) {
                // Once asleep, the writer waits for a few pieces, not for each one.
                writerWaitsFor = &piece;
                writerWaitsUntil = std::min(subtrees.size(), written + kWrittenPerWake);
                const auto ready = [&] { return piece.walked && walked >= writerWaitsUntil; };
                do
                    addWalkerIfWaitingForDisk();
                while (!walkedOne.wait_for(lock, kLookEvery, ready));
                writerWaitsFor = nullptr;
            }
        }
        const bool inSkippedFolder = piece.parent >= 0 && skipped[std::size_t(piece.parent)];
        if (piece.kind == Piece::Kind::Files) {
            const auto repeated = [&] {
                if (piece.idsMayRepeat) // only a loop back to an ancestor is a repeat there
                    return std::find(piece.ancestors.begin(), piece.ancestors.end(), piece.id) !=
                           piece.ancestors.end();
                return !visited.insert(piece.id);
            };
            const bool skip = inSkippedFolder || !piece.opened || repeated();
            skipped[std::size_t(piece.filesId)] = skip;
            for (std::size_t p = 0; !skip && p < outputs.size(); ++p)
                outputs[p]->appendBytes(piece.lists[p]->takeBytes());
            if (!skip)
                keepPartlyRead(piece.partlyRead);
        } else if (inSkippedFolder) {
            // its folder was walked already, through a link
        } else if (std::any_of(piece.entered.begin(), piece.entered.end(),
                               [&](const FolderId& id) { return visited.contains(id); })) {
            m_walker.setFoldersAbove(piece.ancestors);
            m_walker.walkBelow(piece.openPath, piece.listedPath, visited, nullptr, patterns,
                               outputs);
            keepPartlyRead(m_walker.takePartlyRead());
        } else {
            visited.insert(piece.entered.begin(), piece.entered.end());
            for (std::size_t p = 0; p < outputs.size(); ++p)
                outputs[p]->appendBytes(piece.lists[p]->takeBytes());
            keepPartlyRead(piece.partlyRead);
        }
        piece.lists.clear();
        piece.entered = {};
        if (piece.kind == Piece::Kind::Subtree) {
            bool wakeWalkers;
            {
                const std::lock_guard lock(mutex);
                ++written;
                wakeWalkers = walkersWaiting > 0;
            }
            if (wakeWalkers)
                roomAhead.notify_all();
        }
    }
    for (std::thread& thread : threads)
        thread.join();
    m_mostWalkersUsed = std::max(m_mostWalkersUsed, walkers);
}

void ParallelWalk::keepPartlyRead(const std::vector<TreeWalker::PartlyRead>& folders) {
    m_partlyRead.insert(m_partlyRead.end(), folders.begin(), folders.end());
}

bool ParallelWalk::walk(const std::string& folder, const std::vector<const NamePattern*>& patterns,
                        const std::vector<ListOutput*>& outputs) {
    if (m_threads < 2) {
        const bool walked = m_walker.walk(folder, patterns, outputs);
        const int error = errno;
        keepPartlyRead(m_walker.takePartlyRead());
        errno = error;
        return walked;
    }
    std::vector<Piece> pieces = cutIntoPieces(folder, patterns);
    if (pieces.empty())
        return false;
    walkSubtrees(pieces, patterns, outputs);
    return true;
}

} // namespace mixgen::cmd
