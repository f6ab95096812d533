#include "parallelwalk.h"

#include "folderaccess.h"
#include "namecodec.h"
#include "spreadthread.h"

#include <algorithm>
#include <atomic>
#include <barrier>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <ctime>
#include <deque>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen::cmd {

namespace {

// The top levels are cut until there are this many subtrees per thread, or this deep.
constexpr std::size_t kSubtreesPerThread = 8;
constexpr int kMostLevelsCut = 4;
// A walker claims about a kRunsPerWalker-th of the subtrees left per walker at once, at most
// kMostSubtreesPerRun: a tree of tens of thousands of small subtrees is claimed in runs, and
// the last subtrees one by one, so that the walkers end together.
constexpr std::size_t kRunsPerWalker = 16;
constexpr std::size_t kMostSubtreesPerRun = 32;
// Walkers run ahead of what is written while the runs walked and not yet written hold fewer
// bytes than this, and fewer runs than this per walker: memory stays bounded.
constexpr std::size_t kMostBytesAhead = std::size_t(16) << 20;
constexpr std::size_t kRunsAheadPerWalker = 16;
// While the walkers work, the walk looks this often whether they wait for the disk.
constexpr auto kLookEvery = std::chrono::milliseconds(10);
// Walkers that keep less than this share of their cores busy, and block in the kernel at
// least kBlocksPerWalker times each between two looks, wait for the disk. (Walkers held back
// by other programs' work also keep few cores busy, but they do not block.)
constexpr double kBusyShare = 0.5;
constexpr long kBlocksPerWalker = 4;
// A folder of the top levels this big (some 25,000 entries) is read by all threads at once, in
// this many parts per thread, which they claim one by one, so that none waits for another:
// a thread whose core other work slows takes fewer.
constexpr unsigned kPartsPerThread = 4;
constexpr std::size_t kShareFoldersFrom = std::size_t(1) << 20;

// The CPU time the whole process has used.
std::chrono::nanoseconds processTime() {
    timespec now{};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// How often the process's threads have given up a core to wait.
long voluntarySwitches() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

// Tells whether the walkers kept fewer of their cores busy than they could since the last look
// while they blocked: then they wait for the disk (a tree not in the cache), and more of them
// would read more folders at once.
class DiskWaitWatch {
public:
    explicit DiskWaitWatch(unsigned cores)
        : m_cores(cores), m_lookedAt(std::chrono::steady_clock::now()), m_used(processTime()),
          m_blocks(voluntarySwitches()) {}

    // ownWaits: how often the walk's threads have waited for each other so far.
    bool walkersWaitForDisk(unsigned walkers, long ownWaits) {
        const auto now = std::chrono::steady_clock::now();
        if (now - m_lookedAt < kLookEvery)
            return false;
        const auto used = processTime();
        const long blocks = voluntarySwitches() - ownWaits;
        const double busy = std::chrono::duration<double>(used - m_used).count() /
                            std::chrono::duration<double>(now - m_lookedAt).count();
        const bool waiting =
            busy < kBusyShare * m_cores && blocks - m_blocks >= kBlocksPerWalker * long(walkers);
        m_lookedAt = now;
        m_used = used;
        m_blocks = blocks;
        return waiting;
    }

private:
    unsigned m_cores;
    std::chrono::steady_clock::time_point m_lookedAt;
    std::chrono::nanoseconds m_used;
    long m_blocks;
};

std::string joined(const std::string& folderPath, const std::string& name) {
    if (folderPath.empty() || folderPath.back() == '/')
        return folderPath + name;
    return folderPath + '/' + name;
}

// A folder's listing from its parts': the subfolders, sorted in each part, merged in one pass,
// by their names' keys where those settle it (a top level of tens of thousands of folders).
TreeWalker::Listed mergedListing(std::vector<TreeWalker::Listed>& parts) {
    TreeWalker::Listed merged;
    merged.opened = parts[0].opened;
    merged.id = parts[0].id;
    merged.facts = parts[0].facts;
    std::vector<std::size_t> at(parts.size(), 0); // by part: its next subfolder
    std::vector<OrderKeys> keys(parts.size());    // of that subfolder's name
    std::vector<bool> hasSubfolders;
    std::size_t count = 0;
    for (std::size_t i = 0; i < parts.size(); ++i) {
        count += parts[i].subfolders.size();
        hasSubfolders.push_back(!parts[i].subfolders.empty());
        if (hasSubfolders.back())
            keys[i] = orderKeys(parts[i].subfolders.front());
    }
    merged.subfolders.reserve(count);
    merged.subfolderInodes.reserve(count);
    mergeByTournament(
        hasSubfolders,
        [&](std::size_t a, std::size_t b) {
            return lessByKeyOrName(keys[a], parts[a].subfolders[at[a]], keys[b],
                                   parts[b].subfolders[at[b]]);
        },
        [&](std::size_t i) {
            TreeWalker::Listed& part = parts[i];
            merged.subfolders.push_back(std::move(part.subfolders[at[i]]));
            merged.subfolderInodes.push_back(part.subfolderInodes[at[i]]);
            if (++at[i] == part.subfolders.size())
                return false;
            keys[i] = orderKeys(part.subfolders[at[i]]);
            return true;
        });
    return merged;
}

} // namespace

// A folder read while cutting: its own files are one piece, its subfolders' subtrees others.
struct ParallelWalk::CutFolder {
    std::string openPath;
    std::string listedPath;
    int parent = -1;                 // the cut folder it lies in
    std::vector<FolderId> ancestors; // the folders entered above it
    FolderId id{};
    FileSystemFacts facts{};
    bool opened = false;
    int fd = -1; // held open while its subtrees are walked, which are opened from it
    std::vector<std::unique_ptr<ListOutput>> lists; // its own files, one list per pattern
    std::vector<TreeWalker::PartlyRead> partlyRead; // itself, when not read whole
};

// A piece of the walk, small: a tree of tens of thousands of top-level folders has as many.
struct ParallelWalk::Piece {
    enum class Kind { Files, Subtree };
    Kind kind = Kind::Files;
    int folder = -1;  // Files: its cut folder; Subtree: the cut folder it lies in
    std::string name; // Subtree: the subfolder's name
    ino_t inode = 0;  // Subtree: as the entry gave it (0: a stat tells)
};

// Walks the Subtree pieces on the walkers and writes every piece in order.
class ParallelWalk::Subtrees {
public:
    Subtrees(ParallelWalk& walk, std::vector<Piece>& pieces,
             const std::vector<const NamePattern*>& patterns,
             const std::vector<ListOutput*>& outputs)
        : m_walk(walk), m_pieces(pieces), m_folders(walk.m_folders), m_patterns(patterns),
          m_outputs(outputs), m_skipped(walk.m_folders.size(), false) {
        for (std::size_t i = 0; i < pieces.size(); ++i) {
            if (pieces[i].kind == Piece::Kind::Subtree)
                m_subtrees.push_back(i);
        }
    }

    // Returns the most walkers used at once.
    unsigned run();

private:
    // Consecutive subtrees one walker walks at once, into lists of its own one after another.
    struct Run {
        std::size_t first = 0; // into m_subtrees
        std::size_t end = 0;
        std::vector<std::unique_ptr<ListOutput>> lists; // one per pattern
        std::vector<ListOutput*> refs;
        std::vector<std::size_t> ends;                  // each list's size after each subtree
        std::vector<FolderId> entered;                  // the folders entered, in order
        std::vector<std::size_t> enteredEnds;           // how many after each subtree
        std::vector<TreeWalker::PartlyRead> partlyRead; // folders not read whole, in order
        std::vector<std::size_t> partlyReadEnds;        // how many after each subtree
        std::size_t bytes = 0;
        bool walked = false;
    };

    void walker();
    // Starts one more walker; false when no thread can be had.
    bool startWalker();
    Run* claim();
    void walkRun(TreeWalker& walker, Run& run);
    void writeReady(TreeWalker& walker);
    void writeRun(TreeWalker& walker, const Run& run);
    void writeFiles(CutFolder& folder);
    // How a subtree is opened and listed (reusing start's and listedPath's buffers).
    void startOf(const Piece& piece, FolderStart& start, std::string& listedPath) const;
    FolderSet ancestorsOf(const Piece& piece) const;
    // The same in walk order, outermost first, for a file system whose folders may share ids.
    std::vector<FolderId> foldersAbove(const Piece& piece) const;
    void addWalkerIfWaitingForDisk(DiskWaitWatch& watch);

    ParallelWalk& m_walk;
    std::vector<Piece>& m_pieces;
    std::vector<CutFolder>& m_folders;
    const std::vector<const NamePattern*>& m_patterns;
    const std::vector<ListOutput*>& m_outputs;
    std::vector<std::size_t> m_subtrees; // the Subtree pieces, in order

    // Only the thread whose turn it is to write touches these.
    std::size_t m_at = 0;        // the next piece to write
    FolderSet m_visited;         // everything entered so far, in walk order
    std::vector<bool> m_skipped; // by cut folder: that folder was not walked here
                                 // (entered already, or unreadable), so nothing below it is

    std::mutex m_mutex;                  // guards what follows
    std::condition_variable m_roomAhead; // walkers wait here for room to walk ahead
    std::condition_variable m_done;      // the walk's own thread waits here
    std::size_t m_nextToClaim = 0;       // into m_subtrees
    std::deque<Run*> m_runs;             // claimed and not yet written, in order
    std::vector<std::unique_ptr<Run>> m_allRuns;
    std::vector<Run*> m_spareRuns;
    std::size_t m_bytesAhead = 0; // in runs walked and not yet written
    bool m_writing = false;       // a thread has the turn to write
    bool m_finished = false;
    unsigned m_walkers = 0;
    unsigned m_walkersWaiting = 0;
    long m_ownWaits = 0; // times the walk's threads slept waiting for each other
    std::vector<SpreadThread> m_threads;
};

unsigned ParallelWalk::Subtrees::run() {
    while (m_at < m_pieces.size() && m_pieces[m_at].kind == Piece::Kind::Files)
        writeFiles(m_folders[std::size_t(m_pieces[m_at++].folder)]);
    if (m_subtrees.empty())
        return 0;
    std::unique_lock lock(m_mutex);
    while (m_walkers < m_walk.m_threads && startWalker())
        continue;
    if (m_walkers == 0) { // no thread to be had: the walk goes on, on its own thread
        lock.unlock();
        m_walkers = 1;
        walker();
        return m_walkers;
    }
    DiskWaitWatch watch(
        std::min(m_walk.m_threads, std::max(1u, std::thread::hardware_concurrency())));
    do
        addWalkerIfWaitingForDisk(watch);
    while (!m_done.wait_for(lock, kLookEvery, [this] { return m_finished; }) && ++m_ownWaits);
    lock.unlock();
    for (SpreadThread& thread : m_threads)
        thread.join();
    return m_walkers;
}

// Called under the lock.
void ParallelWalk::Subtrees::addWalkerIfWaitingForDisk(DiskWaitWatch& watch) {
    if (m_walkers >= m_walk.m_mostThreads || m_nextToClaim >= m_subtrees.size())
        return;
    const bool waiting = m_walk.m_walkersWaitForDisk
                             ? m_walk.m_walkersWaitForDisk()
                             : watch.walkersWaitForDisk(m_walkers, m_ownWaits);
    if (waiting && startWalker())
        m_roomAhead.notify_all();
}

// Called under the lock.
bool ParallelWalk::Subtrees::startWalker() {
    try {
        m_threads.emplace_back(unsigned(m_threads.size()) + 1, [this] { walker(); });
    } catch (const std::system_error&) {
        return false; // the system has no thread to give (a limit on a user's processes)
    }
    ++m_walkers;
    return true;
}

void ParallelWalk::Subtrees::walker() {
    // A descriptor table of its own: the walker opens and reads its folders alone, and in
    // a table no other thread shares the kernel need not count and lock each use of them.
    // (The folders cut, open before, are in its copy of the table.)
    ::unshare(CLONE_FILES);
    TreeWalker walker(m_walk.m_trustEntryTypes, m_walk.m_mostThreads + 1);
    while (Run* run = claim()) {
        walkRun(walker, *run);
        bool write;
        {
            const std::lock_guard lock(m_mutex);
            run->walked = true;
            m_bytesAhead += run->bytes;
            write = !m_writing && m_runs.front() == run;
            m_writing = m_writing || write;
        }
        if (write)
            writeReady(walker);
    }
}

ParallelWalk::Subtrees::Run* ParallelWalk::Subtrees::claim() {
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_nextToClaim >= m_subtrees.size())
            return nullptr;
        if (m_bytesAhead < kMostBytesAhead && m_runs.size() < kRunsAheadPerWalker * m_walkers)
            break;
        ++m_walkersWaiting;
        ++m_ownWaits;
        m_roomAhead.wait(lock);
        --m_walkersWaiting;
    }
    const std::size_t left = m_subtrees.size() - m_nextToClaim;
    const std::size_t count =
        std::clamp<std::size_t>(left / (kRunsPerWalker * m_walkers), 1, kMostSubtreesPerRun);
    Run* run;
    if (m_spareRuns.empty()) {
        m_allRuns.push_back(std::make_unique<Run>());
        run = m_allRuns.back().get();
    } else {
        run = m_spareRuns.back();
        m_spareRuns.pop_back();
    }
    run->first = m_nextToClaim;
    run->end = m_nextToClaim + count;
    run->walked = false;
    m_nextToClaim = run->end;
    m_runs.push_back(run);
    return run;
}

void ParallelWalk::Subtrees::walkRun(TreeWalker& walker, Run& run) {
    if (run.lists.size() != m_patterns.size()) {
        for (std::size_t p = 0; p < m_patterns.size(); ++p) {
            run.lists.push_back(std::make_unique<ListOutput>());
            run.refs.push_back(run.lists.back().get());
        }
    }
    for (auto& list : run.lists)
        list->clear(); // the buffers of an earlier run are used again
    run.ends.clear();
    run.entered.clear();
    run.enteredEnds.clear();
    run.partlyRead.clear();
    run.partlyReadEnds.clear();
    FolderStart start;
    std::string listedPath;
    for (std::size_t i = run.first; i < run.end; ++i) {
        const Piece& piece = m_pieces[m_subtrees[i]];
        FolderSet visited = ancestorsOf(piece);
        startOf(piece, start, listedPath);
        walker.setFoldersAbove(foldersAbove(piece));
        walker.walkBelow(start, listedPath, visited, &run.entered, m_patterns, run.refs);
        for (const auto& list : run.lists)
            run.ends.push_back(list->size());
        run.enteredEnds.push_back(run.entered.size());
        for (TreeWalker::PartlyRead& folder : walker.takePartlyRead())
            run.partlyRead.push_back(std::move(folder));
        run.partlyReadEnds.push_back(run.partlyRead.size());
    }
    run.bytes = 0;
    for (const auto& list : run.lists)
        run.bytes += list->size();
}

// Writes, in order, every piece whose turn has come and whose run is walked; gives the turn up
// when the run due next is still being walked (its walker takes the turn when done).
void ParallelWalk::Subtrees::writeReady(TreeWalker& walker) {
    for (;;) {
        while (m_at < m_pieces.size() && m_pieces[m_at].kind == Piece::Kind::Files)
            writeFiles(m_folders[std::size_t(m_pieces[m_at++].folder)]);
        Run* run;
        {
            const std::lock_guard lock(m_mutex);
            if (m_at == m_pieces.size()) {
                m_writing = false;
                m_finished = true;
                m_done.notify_one();
                m_roomAhead.notify_all();
                return;
            }
            if (m_runs.empty() || !m_runs.front()->walked) {
                m_writing = false;
                return;
            }
            run = m_runs.front();
        }
        writeRun(walker, *run);
        const std::lock_guard lock(m_mutex);
        m_runs.pop_front();
        m_bytesAhead -= run->bytes;
        m_spareRuns.push_back(run);
        if (m_walkersWaiting > 0)
            m_roomAhead.notify_all();
    }
}

void ParallelWalk::Subtrees::writeRun(TreeWalker& walker, const Run& run) {
    const std::size_t lists = run.lists.size();
    // Where subtree k's lines start in list p.
    const auto startAt = [&](std::size_t k, std::size_t p) {
        return k == 0 ? std::size_t(0) : run.ends[(k - 1) * lists + p];
    };
    std::size_t copied = 0; // the run's subtrees before it are written or left out
    const std::size_t subtrees = run.end - run.first;
    const auto copyUpTo = [&](std::size_t k) {
        // Mostly the whole run is kept: its blocks are handed on rather than copied.
        const bool whole = copied == 0 && k == subtrees;
        for (std::size_t p = 0; k > copied && p < lists; ++p) {
            if (whole)
                run.lists[p]->moveTo(*m_outputs[p]);
            else
                run.lists[p]->copyTo(*m_outputs[p], startAt(copied, p), startAt(k, p));
        }
        copied = k;
    };
    // The run's folders are looked up below one by one, each a miss in a big set: asked for
    // all at once, their fetches overlap.
    for (const FolderId& id : run.entered)
        m_visited.prefetch(id);
    for (std::size_t k = 0; k < subtrees; ++k) {
        while (m_pieces[m_at].kind == Piece::Kind::Files) {
            copyUpTo(k);
            writeFiles(m_folders[std::size_t(m_pieces[m_at++].folder)]);
        }
        const Piece& piece = m_pieces[m_at++];
        const auto enteredBegin = run.entered.begin() + long(k == 0 ? 0 : run.enteredEnds[k - 1]);
        const auto enteredEnd = run.entered.begin() + long(run.enteredEnds[k]);
        if (m_skipped[std::size_t(piece.folder)]) {
            copyUpTo(k); // its folder was walked already, through a link
            copied = k + 1;
        } else if (std::any_of(enteredBegin, enteredEnd,
                               [&](const FolderId& id) { return m_visited.contains(id); })) {
            copyUpTo(k);
            copied = k + 1;
            FolderStart start;
            std::string listedPath;
            startOf(piece, start, listedPath);
            walker.setFoldersAbove(foldersAbove(piece));
            walker.walkBelow(start, listedPath, m_visited, nullptr, m_patterns, m_outputs);
            m_walk.keepPartlyRead(walker.takePartlyRead());
        } else {
            m_visited.insert(enteredBegin, enteredEnd);
            const auto partlyBegin =
                run.partlyRead.begin() + long(k == 0 ? 0 : run.partlyReadEnds[k - 1]);
            m_walk.keepPartlyRead(
                {partlyBegin, run.partlyRead.begin() + long(run.partlyReadEnds[k])});
        }
    }
    copyUpTo(subtrees);
}

void ParallelWalk::Subtrees::writeFiles(CutFolder& folder) {
    const bool inSkippedFolder = folder.parent >= 0 && m_skipped[std::size_t(folder.parent)];
    const auto repeated = [&] {
        if (folder.facts.idsMayRepeat) // only a loop back to an ancestor is a repeat there
            return std::find(folder.ancestors.begin(), folder.ancestors.end(), folder.id) !=
                   folder.ancestors.end();
        return !m_visited.insert(folder.id);
    };
    const bool skip = inSkippedFolder || !folder.opened || repeated();
    m_skipped[std::size_t(&folder - m_folders.data())] = skip;
    for (std::size_t p = 0; !skip && p < m_outputs.size(); ++p)
        folder.lists[p]->moveTo(*m_outputs[p]); // a huge folder's blocks are not copied again
    if (!skip)
        m_walk.keepPartlyRead(folder.partlyRead);
    folder.lists.clear();
}

void ParallelWalk::Subtrees::startOf(const Piece& piece, FolderStart& start,
                                     std::string& listedPath) const {
    const CutFolder& in = m_folders[std::size_t(piece.folder)];
    if (in.fd >= 0) {
        start.parentFd = in.fd;
        start.name.assign(piece.name);
        start.entryInode = piece.inode;
        start.parentId = in.id;
        start.parentFacts = in.facts;
    } else {
        start = FolderStart{AT_FDCWD, joined(in.openPath, piece.name)};
    }
    listedPath.assign(in.listedPath).append(piece.name).push_back('/');
}

std::vector<FolderId> ParallelWalk::Subtrees::foldersAbove(const Piece& piece) const {
    const CutFolder& in = m_folders[std::size_t(piece.folder)];
    std::vector<FolderId> above = in.ancestors;
    above.push_back(in.id);
    return above;
}

FolderSet ParallelWalk::Subtrees::ancestorsOf(const Piece& piece) const {
    const CutFolder& in = m_folders[std::size_t(piece.folder)];
    FolderSet ancestors(in.ancestors.begin(), in.ancestors.end());
    ancestors.insert(in.id);
    return ancestors;
}

unsigned defaultWalkThreads() {
    return std::max(2u, std::thread::hardware_concurrency());
}

unsigned defaultMostWalkThreads() {
    return std::min(4 * defaultWalkThreads(), 32u);
}

ParallelWalk::ParallelWalk(bool trustEntryTypes, unsigned threads, unsigned mostThreads)
    : m_trustEntryTypes(trustEntryTypes), m_threads(std::max(1u, threads)),
      m_mostThreads(std::max(m_threads, mostThreads)), m_shareFoldersFrom(kShareFoldersFrom),
      m_walker(trustEntryTypes, m_mostThreads + 1) {}

ParallelWalk::~ParallelWalk() = default;

TreeWalker::Listed ParallelWalk::listCutFolder(const std::string& openPath,
                                               const std::string& listedPath,
                                               const std::vector<const NamePattern*>& patterns,
                                               const std::vector<ListOutput*>& outputs,
                                               std::vector<TreeWalker::PartlyRead>& partlyRead) {
    std::vector<FolderPart> parts{FolderPart{}};
    if (const int fd = openFolderAt(AT_FDCWD, openPath.c_str()); fd >= 0) {
        struct stat info;
        if (::fstat(fd, &info) == 0 && std::size_t(info.st_size) >= m_shareFoldersFrom)
            parts = folderParts(factsOf(fd), kPartsPerThread * m_threads);
        ::close(fd);
    }
    const auto readWhole = [&] {
        TreeWalker::Listed listed = m_walker.listFolder(openPath, listedPath, patterns, outputs);
        partlyRead = m_walker.takePartlyRead();
        return listed;
    };
    if (parts.size() == 1)
        return readWhole();

    std::vector<TreeWalker::Listed> listed(parts.size());
    std::vector<std::vector<std::unique_ptr<ListOutput>>> lists(parts.size());
    std::vector<std::vector<ListOutput*>> refs(parts.size());
    for (std::size_t i = 0; i < parts.size(); ++i) {
        for (std::size_t p = 0; p < patterns.size(); ++p) {
            lists[i].push_back(std::make_unique<ListOutput>());
            refs[i].push_back(lists[i].back().get());
        }
    }
    std::atomic<std::size_t> nextPart{0};
    std::atomic<int> readError{0}; // of a part that could not be read whole
    // The threads that read the parts go on to merge them once all are read, each taking the
    // next merge left: the subfolders', then each pattern's list, the biggest first.
    std::vector<std::size_t> bySize(patterns.size());
    std::size_t merges = 0; // none when the folder was replaced
    std::atomic<std::size_t> nextMerge{0};
    bool replaced = false; // the folder, while its parts were read: it is read whole again
    TreeWalker::Listed merged;
    std::barrier allRead(std::ptrdiff_t(m_threads), [&]() noexcept {
        for (const TreeWalker::Listed& part : listed)
            replaced = replaced || !part.opened || !(part.id == listed[0].id);
        if (replaced)
            return;
        merges = 1 + patterns.size();
        std::vector<std::size_t> sizes(patterns.size(), 0);
        for (std::size_t p = 0; p < patterns.size(); ++p) {
            bySize[p] = p;
            for (const auto& partLists : lists)
                sizes[p] += partLists[p]->size();
        }
        std::sort(bySize.begin(), bySize.end(),
                  [&](std::size_t a, std::size_t b) { return sizes[a] > sizes[b]; });
    });
    const auto readAndMerge = [&](TreeWalker& walker) {
        for (std::size_t i; (i = nextPart.fetch_add(1)) < parts.size();) {
            listed[i] = walker.listFolder(openPath, listedPath, patterns, refs[i], parts[i]);
            for (const TreeWalker::PartlyRead& folder : walker.takePartlyRead())
                readError = folder.error;
        }
        allRead.arrive_and_wait();
        for (std::size_t k; (k = nextMerge.fetch_add(1)) < merges;) {
            if (k == 0) {
                merged = mergedListing(listed);
                continue;
            }
            const std::size_t p = bySize[k - 1];
            std::vector<std::vector<std::string_view>> sorted;
            for (const auto& partLists : lists)
                sorted.push_back(partLists[p]->blocks());
            mergeSortedLines(sorted, listedPath.size(), *outputs[p]);
        }
    };
    std::vector<SpreadThread> readers;
    for (unsigned t = 1; t < m_threads; ++t) {
        try {
            readers.emplace_back(t, [&] {
                TreeWalker walker(m_trustEntryTypes, m_mostThreads + 1);
                readAndMerge(walker);
            });
        } catch (const std::system_error&) {
            allRead.arrive_and_drop(); // no thread to be had: the others read its share
        }
    }
    readAndMerge(m_walker);
    for (SpreadThread& reader : readers)
        reader.join();
    if (replaced)
        return readWhole();
    partlyRead.clear();
    if (readError != 0)
        partlyRead.push_back({listedPath, readError});
    return merged;
}

std::vector<ParallelWalk::Piece>
ParallelWalk::cutIntoPieces(const std::string& folder,
                            const std::vector<const NamePattern*>& patterns,
                            const std::vector<ListOutput*>& outputs) {
    m_folders.clear();
    std::vector<Piece> pieces(1);
    pieces[0].kind = Piece::Kind::Subtree; // the whole tree, at first

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
            CutFolder files;
            if (piece.folder < 0) {
                files.openPath = folder.empty() ? "." : folder;
                files.listedPath = folder;
            } else {
                const CutFolder& in = m_folders[std::size_t(piece.folder)];
                files.openPath = joined(in.openPath, piece.name);
                files.listedPath = in.listedPath + piece.name + '/';
                files.parent = piece.folder;
                files.ancestors = in.ancestors;
                files.ancestors.push_back(in.id);
            }
            std::vector<ListOutput*> refs;
            for (std::size_t p = 0; p < patterns.size(); ++p) {
                files.lists.push_back(std::make_unique<ListOutput>());
                refs.push_back(files.lists.back().get());
            }
            // The walk's own files come first in every list, whatever follows: they go to
            // the lists at once (a streamed one is written while the rest is merged).
            if (piece.folder < 0)
                refs = outputs;
            TreeWalker::Listed listed =
                listCutFolder(files.openPath, files.listedPath, patterns, refs, files.partlyRead);
            files.opened = listed.opened;
            files.id = listed.id;
            files.facts = listed.facts;
            if (!listed.opened && level == 0)
                return {}; // the folder itself cannot be read
            // Its subtrees are opened from it, held open meanwhile, rather than each by its
            // whole path (a folder replaced since it was read is left to the paths).
            if (listed.opened && !listed.subfolders.empty()) {
                files.fd = openFolderAt(AT_FDCWD, files.openPath.c_str());
                FolderId now{};
                if (files.fd >= 0 && (!identify(files.fd, now) || !(now == listed.id))) {
                    ::close(files.fd);
                    files.fd = -1;
                }
            }
            const int filesAt = int(m_folders.size());
            m_folders.push_back(std::move(files));
            // Room for a folder of tens of thousands of subfolders at once.
            const std::size_t adding = 1 + listed.subfolders.size();
            if (cut.capacity() - cut.size() < adding)
                cut.reserve(std::max(2 * cut.capacity(), cut.size() + adding));
            cut.push_back({Piece::Kind::Files, filesAt, {}, 0});
            for (std::size_t i = 0; i < listed.subfolders.size(); ++i) {
                cut.push_back({Piece::Kind::Subtree, filesAt, std::move(listed.subfolders[i]),
                               listed.subfolderInodes[i]});
            }
        }
        pieces = std::move(cut);
    }
    return pieces;
}

void ParallelWalk::walkSubtrees(std::vector<Piece>& pieces,
                                const std::vector<const NamePattern*>& patterns,
                                const std::vector<ListOutput*>& outputs) {
    Subtrees subtrees(*this, pieces, patterns, outputs);
    m_mostWalkersUsed = std::max(m_mostWalkersUsed, subtrees.run());
}

void ParallelWalk::closeCutFolders() {
    for (const CutFolder& folder : m_folders) {
        if (folder.fd >= 0)
            ::close(folder.fd);
    }
    m_folders.clear();
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
    std::vector<Piece> pieces = cutIntoPieces(folder, patterns, outputs);
    if (!pieces.empty())
        walkSubtrees(pieces, patterns, outputs);
    closeCutFolders();
    return !pieces.empty();
}

} // namespace mixgen::cmd
