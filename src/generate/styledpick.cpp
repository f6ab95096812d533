#include "generate/styledpick.h"

#include "generate/balanceddraw.h"
#include "generate/extendedm3u.h"
#include "generate/lengthtarget.h"
#include "generate/playlistwriter.h"
#include "generate/randomsource.h"
#include "generate/relativepaths.h"
#include "generate/songtags.h"
#include "platform/filereplacement.h"
#include "platform/messages.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <optional>
#include <system_error>
#include <thread>
#include <vector>

namespace mixgen {

namespace {

// What the helpers find out about one drawn song.
struct DrawnSong {
    qsizetype position = 0;
    int seconds = -1;
    QByteArray info; // its "#EXTINF" line
    QByteArray path; // its path as the playlist writes it, when that differs from the name
    std::atomic<bool> ready{false};
};

// The drawn songs, in draw order, in blocks that never move: the helpers read a song while
// later ones are added.
class DrawnSongs {
public:
    explicit DrawnSongs(qsizetype capacity)
        : m_blocks(std::size_t((capacity + kBlock - 1) / kBlock)) {}

    DrawnSong& at(qsizetype i) { return m_blocks[std::size_t(i / kBlock)][i % kBlock]; }
    qsizetype size() const { return m_size; }
    // Only the drawing thread adds.
    void add(qsizetype position) {
        auto& block = m_blocks[std::size_t(m_size / kBlock)];
        if (!block)
            block = std::make_unique<DrawnSong[]>(std::size_t(kBlock));
        at(m_size).position = position;
        ++m_size;
    }

private:
    static constexpr qsizetype kBlock = 1024;
    std::vector<std::unique_ptr<DrawnSong[]>> m_blocks;
    qsizetype m_size = 0;
};

// The helper threads: each takes the next drawn song that nobody reads yet, reads its tags
// and works out its path. A few of them, so that the disk is asked for several files at once.
class SongReaders {
public:
    SongReaders(DrawnSongs& drawn, const FoundSongs& found, const PlaylistStyle& style,
                const RelativePaths* relative)
        : m_drawn(drawn), m_found(found), m_style(style), m_relative(relative) {}
    ~SongReaders() { finish(); }

    void start(int threads) {
        try {
            for (int i = 0; i < threads; ++i)
                m_threads.emplace_back([this] { run(); });
        } catch (const std::system_error&) {
            // Fewer helpers, or none: what they do not read is read when it is needed.
        }
    }
    // The songs drawn so far can be read.
    void publish(qsizetype count) {
        m_state.store(count, std::memory_order_release);
        m_state.notify_all();
    }
    // Waits until the song is read (reading it here when no helper runs).
    DrawnSong& await(qsizetype i) {
        DrawnSong& song = m_drawn.at(i);
        if (m_threads.empty() && !song.ready.load(std::memory_order_acquire))
            read(song);
        while (!song.ready.load(std::memory_order_acquire))
            song.ready.wait(false, std::memory_order_acquire);
        return song;
    }
    // Lets the helpers read what was published, and ends them.
    void finish() {
        if (m_finished)
            return;
        m_finished = true;
        m_state.fetch_or(kStop, std::memory_order_acq_rel);
        m_state.notify_all();
        for (std::thread& thread : m_threads)
            thread.join();
        if (m_threads.empty())
            for (qsizetype i = 0; i < m_drawn.size(); ++i)
                await(i);
    }

private:
    static constexpr qsizetype kStop = qsizetype(1) << 62;

    void run() {
        for (;;) {
            const qsizetype i = m_next.fetch_add(1, std::memory_order_relaxed);
            for (;;) {
                const qsizetype state = m_state.load(std::memory_order_acquire);
                if (i < (state & ~kStop))
                    break;
                if (state & kStop)
                    return;
                m_state.wait(state, std::memory_order_acquire);
            }
            DrawnSong& song = m_drawn.at(i);
            read(song);
            song.ready.notify_all();
        }
    }

    void read(DrawnSong& song) const {
        const QByteArrayView name = m_found.storedUtf8(song.position);
        try {
            if (m_style.needsTags()) {
                const SongTags tags = readSongTags(name);
                song.seconds = tags.seconds;
                if (m_style.extended)
                    song.info = extinfLine(tags, name);
            }
            if (m_relative)
                song.path = m_relative->pathFor(name);
        } catch (...) {
            // A file no reader can take (out of memory on a huge tag) has no tags.
            song.seconds = -1;
            song.info = m_style.extended ? extinfLine(SongTags(), name) : QByteArray();
            song.path.clear();
        }
        song.ready.store(true, std::memory_order_release);
    }

    DrawnSongs& m_drawn;
    const FoundSongs& m_found;
    const PlaylistStyle& m_style;
    const RelativePaths* m_relative;
    std::vector<std::thread> m_threads;
    std::atomic<qsizetype> m_state{0}; // songs published, and kStop once no more come
    std::atomic<qsizetype> m_next{0};
    bool m_finished = false;
};

// With a length target the draws run this far ahead of the songs decided on, so that the
// helpers read the next few files while one is decided.
constexpr qsizetype kDrawAhead = 8;
constexpr int kReaderThreads = 4;
// The playlist's bytes are handed on in pieces of about this size.
constexpr qsizetype kPiece = qsizetype(1) << 20;

} // namespace

StyledPickResult pickStyled(FoundSongs& found, PickedSongs& picked, int requested,
                            RandomSource& random, const PlaylistStyle& style,
                            const QString& playlistPath,
                            const std::function<void(QByteArrayView)>& out) {
    StyledPickResult result;
    picked.clear();
    const bool target = style.minutes > 0;
    const qsizetype most = std::min<qsizetype>(std::max(requested, 0), found.size());
    if (style.extended)
        out(QByteArrayView(kExtendedHeader));
    if (most == 0)
        return result;

    std::optional<BalancedDraw> balanced;
    if (style.balance)
        balanced.emplace(found);
    auto poolEmpty = [&] { return balanced ? balanced->isEmpty() : found.isEmpty(); };
    auto drawOne = [&] {
        const qsizetype position =
            balanced ? balanced->draw(random) : drawStoredPosition(found, random);
        found.takeStored(position);
        return position;
    };

    std::optional<RelativePaths> relative;
    if (style.relative)
        relative.emplace(playlistPath);
    const bool helpers = style.needsTags() || style.relative;
    DrawnSongs drawn(target ? found.size() : most);
    SongReaders readers(drawn, found, style, relative ? &*relative : nullptr);
    if (helpers)
        readers.start(int(std::min<qsizetype>(kReaderThreads, target ? found.size() : most)));

    std::vector<qsizetype> taken; // the drawn songs that go into the playlist
    taken.reserve(std::size_t(target ? std::min<qsizetype>(most, 4096) : most));
    if (!target) {
        for (qsizetype i = 0; i < most; ++i) {
            drawn.add(drawOne());
            taken.push_back(i);
            if ((i + 1) % 256 == 0)
                readers.publish(i + 1);
        }
        readers.publish(most);
    } else {
        LengthTarget length(style.minutes);
        qsizetype decided = 0;
        while (qsizetype(taken.size()) < most && !length.reached()) {
            while (drawn.size() < decided + kDrawAhead && !poolEmpty()) {
                drawn.add(drawOne());
                readers.publish(drawn.size());
            }
            if (decided == drawn.size())
                break; // every song was offered
            if (length.offer(readers.await(decided).seconds))
                taken.push_back(decided);
            ++decided;
        }
        result.totalSeconds = length.totalSeconds();
        result.lengthKnown = true;
    }
    readers.finish();

    QByteArray piece;
    for (const qsizetype i : taken) {
        DrawnSong& song = drawn.at(i);
        const QByteArrayView name = found.storedUtf8(song.position);
        picked.append(found, song.position);
        if (style.extended) {
            piece += song.info;
            if (!target)
                result.totalSeconds += LengthTarget::countedSeconds(song.seconds);
        }
        piece += style.relative ? QByteArrayView(song.path) : name;
        piece += "\r\n";
        if (piece.size() >= kPiece) {
            out(piece);
            piece.clear();
        }
    }
    if (!piece.isEmpty())
        out(piece);
    result.lengthKnown = result.lengthKnown || style.extended;
    result.count = int(taken.size());
    return result;
}

StyledPickResult pickAndWriteStyled(FoundSongs& found, PickedSongs& picked, int requested,
                                    const QString& outputPath, RandomSource& random,
                                    const PlaylistStyle& style, bool* writeFailed) {
    auto report = [&outputPath](const QString& reason) {
        MsgBox(QStringLiteral("An error occured while trying to write to file ") +
                   outputPath.toUpper() + QStringLiteral("\r\n") + reason,
               MsgButtons::Ok, MsgIcon::Exclamation);
    };
    picked.clear();
    FileReplacement file(outputPath);
    if (!file.begin()) {
        report(file.why());
        if (writeFailed)
            *writeFailed = true;
        return {};
    }
    const StyledPickResult result =
        pickStyled(found, picked, requested, random, style, outputPath,
                   [&file](QByteArrayView bytes) { file.write(bytes); });
    const bool written = file.commit();
    if (!written)
        report(file.why());
    if (writeFailed)
        *writeFailed = !written;
    return result;
}

} // namespace mixgen
