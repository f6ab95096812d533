#pragma once

#include <cstddef>
#include <cstdint>

namespace mixgen {

// A block of memory in pages of its own, for stores that grow to tens of megabytes while
// they are filled. It grows in place inside a wide stretch of addresses set aside when it is
// made (past it, by moving its pages, never the bytes they hold), and room that was never
// written costs no memory, so the block may grow generously.
class PagedBlock {
public:
    PagedBlock() = default;
    ~PagedBlock() { release(); }
    PagedBlock(const PagedBlock&) = delete;
    PagedBlock& operator=(const PagedBlock&) = delete;
    PagedBlock(PagedBlock&& other) noexcept;
    PagedBlock& operator=(PagedBlock&& other) noexcept;

    // The system's page size: the step in which a file's bytes are mapped.
    static std::size_t pageSize();

    char* data() { return m_data; }
    const char* data() const { return m_data; }
    std::size_t capacity() const { return m_capacity; }

    // Makes room for at least bytes in all, keeping what the block holds (its first kept
    // bytes, when it holds pages of a file: those are copied when the block must move). Throws
    // std::bad_alloc when the system gives no memory.
    void reserve(std::size_t bytes, std::size_t kept = SIZE_MAX);
    // Has the system give the pages of [offset, offset + bytes) before they are written, in one
    // call rather than one fault each (a hint: without it the writes fault them in).
    void prepare(std::size_t offset, std::size_t bytes);
    // Gives the pages back; the block is then empty.
    void release();

    // Puts the bytes [offset, offset + bytes) of the open file fd at the same offsets of the
    // block, as the file's own pages rather than a copy: until a page is written, it shows
    // what the file holds, bytes written to the file later included. offset is a multiple
    // of the page size, the block has room for the bytes, and nothing was written there yet.
    // False when the file cannot be mapped; that room is then as it was. The file must not
    // shrink below the mapped bytes while they are read.
    bool mapFile(int fd, std::size_t offset, std::size_t bytes);
    bool holdsFilePages() const { return m_filePages; }
    // Copies the first kept bytes into memory of the block's own and lets go of the file's
    // pages (which would otherwise keep the file, and its unwritten pages, for as long as
    // the block lives).
    void keepOwnCopy(std::size_t kept);

private:
    // A new block of capacity bytes, the first kept bytes of this one copied into it.
    void moveTo(std::size_t capacity, std::size_t kept);

    char* m_data = nullptr;
    std::size_t m_capacity = 0;
    bool m_filePages = false;
};

} // namespace mixgen
