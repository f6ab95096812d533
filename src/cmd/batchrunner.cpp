#include "batchrunner.h"

#include "listoutput.h"
#include "namecodec.h"
#include "namepattern.h"

#include <cerrno>
#include <cstring>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

namespace mixgen::cmd {

namespace {

// One walk answers at most this many lines (one bit each in the walker's match set).
constexpr std::size_t kMostLinesPerWalk = 64;

// Home, clear the screen, clear the scroll-back.
constexpr std::string_view kClearScreen = "\x1b[H\x1b[2J\x1b[3J";

} // namespace

void BatchRunner::run(std::string_view batch) {
    const std::vector<std::string_view> lines = splitBatchLines(batch);
    std::size_t i = 0;
    while (i < lines.size()) {
        BatchCommand command = parseBatchLine(lines[i]);
        const std::size_t lineNumber = i + 1;
        ++i;
        switch (command.kind) {
        case BatchCommand::Kind::Empty:
            break;
        case BatchCommand::Kind::EchoOff:
            m_echoOn = false;
            break;
        case BatchCommand::Kind::EchoOn:
            m_echoOn = true;
            break;
        case BatchCommand::Kind::EchoState:
            m_standardOutput.append(m_echoOn ? "ECHO is on.\n" : "ECHO is off.\n");
            break;
        case BatchCommand::Kind::Echo:
            m_standardOutput.append(command.text);
            m_standardOutput.push_back('\n');
            break;
        case BatchCommand::Kind::Cls:
            if (::isatty(STDOUT_FILENO)) {
                m_standardOutput.clear(); // it would be wiped at once
                writeAll(STDOUT_FILENO, kClearScreen);
            }
            break;
        case BatchCommand::Kind::Dir: {
            std::vector<DirLine> group;
            group.push_back({lineNumber, std::move(command.dir)});
            // Gather the following dir lines over the same folder (blank lines between them
            // do nothing and may be passed over).
            std::size_t next = i;
            while (next < lines.size() && group.size() < kMostLinesPerWalk) {
                BatchCommand candidate = parseBatchLine(lines[next]);
                if (candidate.kind == BatchCommand::Kind::Empty) {
                    ++next;
                    continue;
                }
                if (candidate.kind != BatchCommand::Kind::Dir ||
                    candidate.dir.folder != group.front().command.folder ||
                    !canJoin(group, candidate.dir))
                    break;
                group.push_back({next + 1, std::move(candidate.dir)});
                i = ++next;
            }
            runDirGroup(group);
            break;
        }
        case BatchCommand::Kind::Unknown:
            report(lineNumber, "not understood, skipped: " + std::string(lines[lineNumber - 1]));
            break;
        }
    }
    flushStandardOutput();
}

bool BatchRunner::canJoin(const std::vector<DirLine>& group, const DirCommand& next) const {
    if (next.toStandardOutput)
        return true;
    for (const DirLine& line : group) {
        if (!line.command.toStandardOutput && line.command.target == next.target)
            return true;
    }
    // Run alone, this line would create its target before walking; a target that exists
    // already cannot change what the earlier lines list.
    struct stat info;
    return ::lstat(next.target.c_str(), &info) == 0;
}

int BatchRunner::openOutput(const DirLine& line) {
    if (line.command.toStandardOutput) {
        flushStandardOutput();
        return STDOUT_FILENO;
    }
    const int fd = openListFile(line.command.target, line.command.append);
    if (fd < 0) {
        m_listFailed = true;
        report(line.lineNumber, "cannot write the list to \"" + line.command.target +
                                    "\": " + std::strerror(errno) + "; line skipped");
    }
    return fd;
}

bool BatchRunner::closeOutput(int fd) {
    if (fd < 0 || fd == STDOUT_FILENO)
        return true;
    // Some file systems report a failed write only when the file is closed.
    return ::close(fd) == 0 || errno == EINTR;
}

void BatchRunner::runDirGroup(const std::vector<DirLine>& group) {
    m_writtenLists.clear();
    std::vector<NamePattern> patterns;
    patterns.reserve(group.size());
    std::vector<std::unique_ptr<ListOutput>> outputs;
    std::vector<const NamePattern*> patternRefs;
    std::vector<ListOutput*> outputRefs;
    for (const DirLine& line : group) {
        patterns.emplace_back(line.command.pattern);
        outputs.push_back(std::make_unique<ListOutput>());
        patternRefs.push_back(&patterns.back());
        outputRefs.push_back(outputs.back().get());
    }

    // The first line's target is opened before the walk, as it would be when run alone, and
    // its list streams into it while the walk goes on.
    const int firstFd = openOutput(group.front());
    if (firstFd >= 0)
        outputs.front()->streamTo(firstFd);

    const bool walked = m_walker.walk(group.front().command.folder, patternRefs, outputRefs);
    const int walkError = errno;
    // Named once for the group, in the form the program looks for.
    for (const TreeWalker::PartlyRead& folder : m_walker.takePartlyRead())
        report(group.front().lineNumber, "could not read the folder \"" + folder.path +
                                             "\" whole: " + std::strerror(folder.error));

    for (std::size_t i = 0; i < group.size(); ++i) {
        const DirLine& line = group[i];
        const int fd = i == 0 ? firstFd : openOutput(line);
        if (fd < 0)
            continue;
        if (!walked) {
            report(line.lineNumber, "cannot read the folder \"" + line.command.folder +
                                        "\": " + std::strerror(walkError));
        }
        // The lists' memory is left to the process's end (see m_writtenLists).
        const bool written = i == 0 ? outputs[i]->flush() : outputs[i]->writeTo(fd, true);
        const int error = written ? 0 : outputs[i]->error();
        const bool closed = closeOutput(fd);
        if (!written || !closed) {
            m_listFailed = true;
            report(line.lineNumber, "writing the list failed: " +
                                        std::string(std::strerror(written ? errno : error)));
        }
    }
    m_writtenLists = std::move(outputs);
}

void BatchRunner::report(std::size_t lineNumber, std::string_view message) {
    flushStandardOutput();
    std::string text = "mixgen-cmd: line " + std::to_string(lineNumber) + ": ";
    text.append(message);
    text.push_back('\n');
    writeAll(STDERR_FILENO, text);
}

void BatchRunner::flushStandardOutput() {
    if (m_standardOutput.empty())
        return;
    writeAll(STDOUT_FILENO, m_standardOutput);
    m_standardOutput.clear();
}

} // namespace mixgen::cmd
