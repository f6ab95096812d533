#include "generate/balanceddraw.h"

#include "generate/playlistwriter.h"
#include "generate/randomsource.h"
#include "platform/prefetch.h"

#include <bit>
#include <cstring>
#include <functional>
#include <string.h> // memrchr
#include <string_view>

namespace mixgen {

namespace {

// The folder of a path: all before its last slash.
std::string_view folderOf(QByteArrayView path) {
    const void* slash = memrchr(path.data(), '/', std::size_t(path.size()));
    return {path.data(), slash ? std::size_t(static_cast<const char*>(slash) - path.data()) : 0};
}

bool liesIn(QByteArrayView path, std::string_view folder) {
    const std::size_t length = folder.size();
    return std::size_t(path.size()) > length && path[qsizetype(length)] == '/' &&
           std::memcmp(path.data(), folder.data(), length) == 0 &&
           !std::memchr(path.data() + length + 1, '/', std::size_t(path.size()) - length - 1);
}

} // namespace

BalancedDraw::BalancedDraw(const FoundSongs& found) {
    // The search lists a folder's songs one after another (once for each pattern), so the
    // songs are read in runs of one folder, and only a run's folder is looked up. Its hash is
    // taken while its bytes are at hand: the runs lie all over the songs' memory.
    struct Run {
        std::string_view folder;
        std::size_t hash;
        qsizetype first; // its first song, of those left
        qsizetype size;
    };
    const qsizetype count = found.size();
    std::vector<Run> runs;
    for (qsizetype i = 0; i < count; ++i) {
        const QByteArrayView path = found.utf8(i);
        if (!runs.empty() && liesIn(path, runs.back().folder)) {
            ++runs.back().size;
        } else {
            const std::string_view folder = folderOf(path);
            runs.push_back({folder, std::hash<std::string_view>{}(folder), i, 1});
        }
    }

    // A folder listed for several patterns gives several runs: each run's folder is looked up
    // in a table of the first run of each folder, open addressing, at most half full. The
    // slots are asked for some runs ahead, as each is a cache miss.
    constexpr std::size_t kNoRun = std::size_t(-1);
    constexpr std::size_t kAhead = 16;
    const std::size_t mask = std::bit_ceil(2 * runs.size()) - 1;
    std::vector<std::size_t> firstRuns(mask + 1, kNoRun);
    std::vector<std::size_t> runFolders(runs.size());
    std::vector<qsizetype> sizes;
    for (std::size_t r = 0; r < runs.size(); ++r) {
        if (r + kAhead < runs.size())
            prefetchLine(&firstRuns[runs[r + kAhead].hash & mask]);
        std::size_t slot = runs[r].hash & mask;
        while (firstRuns[slot] != kNoRun && (runs[firstRuns[slot]].hash != runs[r].hash ||
                                             runs[firstRuns[slot]].folder != runs[r].folder))
            slot = (slot + 1) & mask;
        if (firstRuns[slot] == kNoRun) {
            firstRuns[slot] = r;
            runFolders[r] = sizes.size();
            sizes.push_back(0);
        } else {
            runFolders[r] = runFolders[firstRuns[slot]];
        }
        sizes[runFolders[r]] += runs[r].size;
    }

    m_folders.reserve(sizes.size());
    std::vector<qsizetype> next(sizes.size());
    qsizetype begin = 0;
    for (std::size_t f = 0; f < sizes.size(); ++f) {
        m_folders.push_back({begin, sizes[f]});
        next[f] = begin;
        begin += sizes[f];
    }
    m_songs.resize(std::size_t(count));
    for (std::size_t r = 0; r < runs.size(); ++r) {
        qsizetype& at = next[runFolders[r]];
        for (qsizetype i = runs[r].first; i < runs[r].first + runs[r].size; ++i)
            m_songs[std::size_t(at++)] = found.storedPosition(i);
    }
}

qsizetype BalancedDraw::draw(RandomSource& random) {
    random.reseed(random.timeOfDay() * 3.141592);
    const qsizetype f = pickIndex(random.next(), qsizetype(m_folders.size()));
    Folder& folder = m_folders[std::size_t(f)];
    const qsizetype s = folder.begin + pickIndex(random.next(), folder.left);
    const qsizetype position = m_songs[std::size_t(s)];
    // The folder's last song left takes the drawn one's place.
    m_songs[std::size_t(s)] = m_songs[std::size_t(folder.begin + folder.left - 1)];
    if (--folder.left == 0) {
        m_folders[std::size_t(f)] = m_folders.back();
        m_folders.pop_back();
    }
    return position;
}

} // namespace mixgen
