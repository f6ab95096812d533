#pragma once

#include "batchline.h"
#include "parallelwalk.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace mixgen::cmd {

// Runs a batch file line by line: echo to standard output (as written),
// cls, and dir with its list written where the line redirects it. Anything else is reported
// on standard error and skipped; no other program is ever started.
//
// Consecutive dir lines over the same folder share one walk. Their lists come out exactly as
// running the lines one after another would write them: the files each line redirects to are
// opened in line order, and a line only joins when its target exists already or is one an
// earlier line of the group creates (so no earlier line could have listed it as new).
class BatchRunner {
public:
    // threads: how many walk a tree at once (1: this thread alone); up to mostThreads while
    // they wait for the disk.
    explicit BatchRunner(bool trustEntryTypes = true, unsigned threads = 1,
                         unsigned mostThreads = 0)
        : m_walker(trustEntryTypes, threads, mostThreads) {}

    void run(std::string_view batch);

    // True when a list could not be written whole (its file could not be opened, a write or
    // the closing failed): the lists are not to be trusted.
    bool listFailed() const { return m_listFailed; }

private:
    struct DirLine {
        std::size_t lineNumber;
        DirCommand command;
    };

    void runDirGroup(const std::vector<DirLine>& group);
    bool canJoin(const std::vector<DirLine>& group, const DirCommand& next) const;
    int openOutput(const DirLine& line);
    bool closeOutput(int fd);
    void report(std::size_t lineNumber, std::string_view message);
    void flushStandardOutput();

    ParallelWalk m_walker;
    // The last group's lists, written already: let go when the next group starts. After the
    // last group the process ends, and the system takes their memory back whole, sooner than
    // a piece-by-piece free would hand it back.
    std::vector<std::unique_ptr<ListOutput>> m_writtenLists;
    std::string m_standardOutput; // echo text waiting to be written
    bool m_echoOn = true;
    bool m_listFailed = false;
};

} // namespace mixgen::cmd
