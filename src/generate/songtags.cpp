#include "generate/songtags.h"

#include <taglib/audioproperties.h>
#include <taglib/fileref.h>
#include <taglib/tag.h>
#include <taglib/tdebuglistener.h>
#include <taglib/tiostream.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <string>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen {

namespace {

// TagLib's notes on broken files would land on the terminal of a silent run.
class QuietDebugListener final : public TagLib::DebugListener {
public:
    void printMessage(const TagLib::String&) override {}
};

void silenceTagLib() {
    static std::once_flag once;
    static QuietDebugListener quiet;
    std::call_once(once, [] { TagLib::setDebugListener(&quiet); });
}

// A song file as TagLib reads it: read only, from a descriptor we opened, and with budgets of
// bytes after which every read comes back empty, as at the end of the file. TagLib then stops
// looking (for a frame, for a tag), so no file keeps the reader longer than the budgets allow.
constexpr unsigned long kSearchPiece = 64 << 10;
constexpr long kSearchReadBudget = 256L << 10;

class BudgetedStream final : public TagLib::IOStream {
public:
    BudgetedStream(std::string path, int fd, long size)
        : m_path(std::move(path)), m_fd(fd), m_size(size) {}
    ~BudgetedStream() override { ::close(m_fd); }

    TagLib::FileName name() const override { return m_path.c_str(); }

    TagLib::ByteVector readBlock(unsigned long length) override {
        // A tag is read in one piece; a search for a frame or a tag reads small pieces, and
        // slowly, so the search has the smaller budget.
        long& budget = length > kSearchPiece ? m_budget : m_searchBudget;
        const long left = std::min(budget, m_size - m_position);
        const auto wanted = static_cast<unsigned long>(std::max(0L, left));
        length = std::min(length, wanted);
        if (length == 0)
            return {};
        TagLib::ByteVector bytes(static_cast<unsigned int>(length), '\0');
        unsigned long got = 0;
        while (got < length) {
            const ssize_t n =
                ::pread(m_fd, bytes.data() + got, length - got, m_position + long(got));
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                break;
            got += static_cast<unsigned long>(n);
        }
        bytes.resize(static_cast<unsigned int>(got));
        m_position += long(got);
        budget -= long(got);
        return bytes;
    }

    void writeBlock(const TagLib::ByteVector&) override {}
    void insert(const TagLib::ByteVector&, unsigned long, unsigned long) override {}
    void removeBlock(unsigned long, unsigned long) override {}
    bool readOnly() const override { return true; }
    bool isOpen() const override { return true; }

    void seek(long offset, Position p = Beginning) override {
        long base = 0;
        if (p == Current)
            base = m_position;
        else if (p == End)
            base = m_size;
        m_position = std::clamp(base + offset, 0L, m_size);
    }
    long tell() const override { return m_position; }
    long length() override { return m_size; }
    void truncate(long) override {}

private:
    std::string m_path;
    int m_fd;
    long m_size;
    long m_position = 0;
    long m_budget = kTagReadBudget;
    long m_searchBudget = kSearchReadBudget;
};

QString fromTagLib(const TagLib::String& text) {
    // TagLib keeps its texts in UTF-16 whatever the tag held; a broken tag gives replacement
    // characters here, never bytes that are not UTF-8 later.
    return QString::fromStdWString(text.toWString()).trimmed();
}

} // namespace

SongTags readSongTags(QByteArrayView utf8Path) {
    SongTags tags;
    std::string path(utf8Path.data(), std::size_t(utf8Path.size()));
    // Non-blocking, so that a pipe named like a song is not waited on; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return tags;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return tags;
    }
    silenceTagLib();
    BudgetedStream stream(std::move(path), fd, long(info.st_size));
    const TagLib::FileRef file(&stream, true, TagLib::AudioProperties::Fast);
    if (file.isNull())
        return tags;
    if (const TagLib::AudioProperties* audio = file.audioProperties()) {
        const int seconds = audio->lengthInSeconds();
        if (seconds > 0)
            tags.seconds = seconds;
    }
    if (const TagLib::Tag* tag = file.tag()) {
        tags.artist = fromTagLib(tag->artist());
        tags.title = fromTagLib(tag->title());
    }
    return tags;
}

} // namespace mixgen
