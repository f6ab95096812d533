#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mixgen::cmd {

// Writes everything to fd, retrying short writes. False (errno set) when the write failed.
bool writeAll(int fd, std::string_view bytes);
// The same for several blocks, in their order, with few calls.
bool writeAll(int fd, const std::vector<std::string>& blocks);

// Opens a redirection target as dir's output: created when missing, emptied (append false)
// or appended to (append true). A symbolic link planted at that name is refused rather than
// followed. Returns the descriptor, or -1 with errno set.
int openListFile(const std::string& path, bool append);

// The lines one dir command produces, collected in memory, or streamed to a file once a big
// block has gathered (so that a reader watching the file sees it grow, and memory stays flat).
class ListOutput {
public:
    ListOutput() = default;
    ListOutput(const ListOutput&) = delete;
    ListOutput& operator=(const ListOutput&) = delete;

    // From now on, write to fd whenever the buffer is full (the caller keeps owning fd).
    void streamTo(int fd) { m_fd = fd; }

    void append(std::string_view prefix, std::string_view name) {
        m_bytes.append(prefix);
        m_bytes.append(name);
        m_bytes.append("\r\n", 2);
        if (m_bytes.size() >= kBlock)
            closeBlock();
    }

    // Lines gathered elsewhere, already in the list's form. A big block is kept (or written)
    // as it is, not copied: a walk hands over its pieces' lists this way.
    void appendBytes(std::string&& bytes);
    // The same, copied: the lines stay where they are.
    void appendBytes(std::string_view bytes);
    // Hands over what is gathered (for an output that is not streamed).
    std::string takeBytes();
    // What is gathered, in the blocks it lies in (no line is cut between two), valid while
    // the output is left as it is.
    std::vector<std::string_view> blocks() const;

    // What is gathered (and not yet written to the stream), in bytes.
    std::size_t size() const { return m_blocksSize + m_bytes.size(); }
    // Appends the gathered bytes from..to (offsets into what size() counts) to target.
    void copyTo(ListOutput& target, std::size_t from, std::size_t to) const;
    // Appends everything gathered to target, its big blocks moved rather than copied; this
    // output is left empty.
    void moveTo(ListOutput& target);
    // Forgets what is gathered but keeps the buffer, to gather the next lines in it.
    void clear();

    // Writes what is gathered to the stream, if any. False when that failed.
    bool flush();

    // Writes everything gathered to fd (for an output that was not streamed), leaving the
    // output empty. With keepMemory its blocks are not freed but kept until the output is
    // destroyed: a run about to end leaves them to the system, which takes them back whole.
    bool writeTo(int fd, bool keepMemory = false);

    bool failed() const { return m_failed; }
    // The errno of the first failed write.
    int error() const { return m_error; }

private:
    // Ends the bytes gathered so far as a block: written at once to a stream, else kept.
    void closeBlock();

    static constexpr std::size_t kBlock = 1 << 20;
    // Blocks at least this big are kept whole rather than copied behind the others.
    static constexpr std::size_t kKeptWhole = 64 * 1024;
    // What is gathered: the blocks kept whole, then the bytes. The bytes never grow past a
    // block, so a big list is gathered in blocks of their own rather than copied again each
    // time its buffer doubles.
    std::vector<std::string> m_blocks;
    std::size_t m_blocksSize = 0;
    std::vector<std::string> m_writtenBlocks; // kept by writeTo's keepMemory
    std::string m_bytes;
    int m_fd = -1;
    bool m_failed = false;
    int m_error = 0;
};

} // namespace mixgen::cmd
