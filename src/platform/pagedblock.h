#pragma once

#include <cstddef>

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

    char* data() { return m_data; }
    const char* data() const { return m_data; }
    std::size_t capacity() const { return m_capacity; }

    // Makes room for at least bytes in all, keeping what the block holds. Throws
    // std::bad_alloc when the system gives no memory.
    void reserve(std::size_t bytes);
    // Has the system give the pages of [offset, offset + bytes) before they are written, in one
    // call rather than one fault each (a hint: without it the writes fault them in).
    void prepare(std::size_t offset, std::size_t bytes);
    // Gives the pages back; the block is then empty.
    void release();

private:
    char* m_data = nullptr;
    std::size_t m_capacity = 0;
};

} // namespace mixgen
