#include "listoutput.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <iterator>
#include <sys/uio.h>
#include <unistd.h>

namespace mixgen::cmd {

bool writeAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}

bool writeAll(int fd, const std::vector<std::string>& blocks) {
    std::vector<iovec> parts;
    for (const std::string& block : blocks) {
        if (!block.empty())
            parts.push_back({const_cast<char*>(block.data()), block.size()});
    }
    std::size_t first = 0;
    while (first < parts.size()) {
        const int count = static_cast<int>(std::min<std::size_t>(parts.size() - first, IOV_MAX));
        ssize_t written = ::writev(fd, parts.data() + first, count);
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        // Past the blocks written whole, then into the one written in part.
        while (first < parts.size() && static_cast<std::size_t>(written) >= parts[first].iov_len) {
            written -= static_cast<ssize_t>(parts[first].iov_len);
            ++first;
        }
        if (written > 0) {
            parts[first].iov_base = static_cast<char*>(parts[first].iov_base) + written;
            parts[first].iov_len -= static_cast<std::size_t>(written);
        }
    }
    return true;
}

int openListFile(const std::string& path, bool append) {
    const int flags = O_WRONLY | O_CREAT | O_NOFOLLOW | O_CLOEXEC | (append ? O_APPEND : O_TRUNC);
    int fd;
    do {
        fd = ::open(path.c_str(), flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

void ListOutput::closeBlock() {
    if (m_fd >= 0) {
        flush(); // the buffer is kept for what follows
        return;
    }
    m_blocksSize += m_bytes.size();
    m_blocks.push_back(std::move(m_bytes));
    m_bytes = std::string();
}

void ListOutput::appendBytes(std::string&& bytes) {
    if (bytes.size() < kKeptWhole) {
        appendBytes(std::string_view(bytes));
        return;
    }
    if (!m_bytes.empty()) {
        m_blocksSize += m_bytes.size();
        m_blocks.push_back(std::move(m_bytes));
    }
    m_bytes.clear();
    m_blocksSize += bytes.size();
    m_blocks.push_back(std::move(bytes));
    if (m_fd >= 0)
        flush();
}

void ListOutput::appendBytes(std::string_view bytes) {
    if (m_bytes.size() + bytes.size() > kBlock)
        closeBlock();
    if (m_bytes.capacity() < kBlock)
        m_bytes.reserve(kBlock);
    m_bytes.append(bytes);
}

void ListOutput::copyTo(ListOutput& target, std::size_t from, std::size_t to) const {
    std::size_t blockStart = 0;
    for (const std::string& block : m_blocks) {
        const std::size_t blockEnd = blockStart + block.size();
        if (from < blockEnd && to > blockStart) {
            const std::size_t begin = std::max(from, blockStart);
            target.appendBytes(
                std::string_view(block).substr(begin - blockStart, std::min(to, blockEnd) - begin));
        }
        blockStart = blockEnd;
    }
    if (to > blockStart) {
        const std::size_t begin = std::max(from, blockStart);
        target.appendBytes(std::string_view(m_bytes).substr(begin - blockStart, to - begin));
    }
}

void ListOutput::moveTo(ListOutput& target) {
    for (std::string& block : m_blocks)
        target.appendBytes(std::move(block));
    target.appendBytes(std::move(m_bytes));
    m_blocks.clear();
    m_blocksSize = 0;
    m_bytes = std::string();
}

void ListOutput::clear() {
    m_blocks.clear();
    m_blocksSize = 0;
    m_bytes.clear();
}

std::string ListOutput::takeBytes() {
    if (m_blocks.empty())
        return std::move(m_bytes);
    std::string all;
    all.reserve(size());
    for (const std::string& block : m_blocks)
        all.append(block);
    all.append(m_bytes);
    m_blocks.clear();
    m_blocksSize = 0;
    m_bytes.clear();
    return all;
}

std::vector<std::string_view> ListOutput::blocks() const {
    std::vector<std::string_view> views(m_blocks.begin(), m_blocks.end());
    views.emplace_back(m_bytes);
    return views;
}

bool ListOutput::flush() {
    if (m_fd < 0)
        return !m_failed;
    return writeTo(m_fd);
}

bool ListOutput::writeTo(int fd, bool keepMemory) {
    bool written = true;
    if (!m_failed && !m_blocks.empty()) {
        if (!m_bytes.empty())
            m_blocks.push_back(std::move(m_bytes));
        written = writeAll(fd, m_blocks);
    } else if (!m_failed) {
        written = writeAll(fd, m_bytes);
    }
    if (!written) {
        m_failed = true;
        m_error = errno;
    }
    if (keepMemory)
        std::move(m_blocks.begin(), m_blocks.end(), std::back_inserter(m_writtenBlocks));
    m_blocks.clear();
    m_blocksSize = 0;
    // A streamed output fills the same buffer again: its memory is kept, not given back and
    // asked for anew a page at a time.
    m_bytes.clear();
    return !m_failed;
}

} // namespace mixgen::cmd
