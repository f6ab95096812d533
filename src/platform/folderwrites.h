#pragma once

#include <QString>

namespace mixgen {

// Tells when files in a folder are written to: a descriptor that becomes readable after each
// write, so a reader of a growing file can take what arrived at once instead of at its next
// look. Without it (no inotify, or too many watches) fd() is -1 and the reader looks as before.
class FolderWrites {
public:
    explicit FolderWrites(const QString& folder);
    ~FolderWrites();
    FolderWrites(const FolderWrites&) = delete;
    FolderWrites& operator=(const FolderWrites&) = delete;

    int fd() const { return m_fd; }
    // Forgets the writes told so far, so the descriptor waits for the next.
    void drain();
    // Ends the watch; call it as soon as no more writes matter. The system takes its time to
    // let go of a watch (milliseconds), and closing the descriptor waits for that: ended early,
    // it is done by the time the watch is destroyed.
    void stop();

private:
    int m_fd = -1;
    int m_watch = -1;
};

} // namespace mixgen
