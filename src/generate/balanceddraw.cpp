#include "generate/balanceddraw.h"

#include "generate/playlistwriter.h"
#include "generate/randomsource.h"

#include <string_view>
#include <unordered_map>

namespace mixgen {

namespace {

std::string_view folderOf(QByteArrayView path) {
    const qsizetype slash = path.lastIndexOf('/');
    return {path.data(), std::size_t(slash < 0 ? 0 : slash)};
}

} // namespace

BalancedDraw::BalancedDraw(const FoundSongs& found) {
    const qsizetype count = found.size();
    std::vector<std::int32_t> folderOfSong(static_cast<std::size_t>(count));
    std::vector<qsizetype> sizes;
    // The search lists a folder's songs one after another (for each pattern), so the folder
    // is looked up only where it changes.
    std::unordered_map<std::string_view, std::int32_t> ids;
    std::string_view previous;
    std::int32_t id = -1;
    for (qsizetype i = 0; i < count; ++i) {
        const std::string_view folder = folderOf(found.utf8(i));
        if (id < 0 || folder != previous) {
            const auto [it, added] = ids.try_emplace(folder, std::int32_t(sizes.size()));
            if (added)
                sizes.push_back(0);
            id = it->second;
            previous = folder;
        }
        folderOfSong[std::size_t(i)] = id;
        ++sizes[std::size_t(id)];
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
    for (qsizetype i = 0; i < count; ++i)
        m_songs[std::size_t(next[std::size_t(folderOfSong[std::size_t(i)])]++)] =
            found.storedPosition(i);
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
