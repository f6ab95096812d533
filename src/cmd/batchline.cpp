#include "batchline.h"

namespace mixgen::cmd {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string_view trimLeft(std::string_view text) {
    while (!text.empty() && isBlank(text.front()))
        text.remove_prefix(1);
    return text;
}

std::string_view trim(std::string_view text) {
    text = trimLeft(text);
    while (!text.empty() && isBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; };
        if (lower(a[i]) != lower(b[i]))
            return false;
    }
    return true;
}

// The switches and redirection after dir's folder argument: "/s" and "/b" (any order and
// case, both needed), then optionally ">" or ">>" and the target, which runs to the end of the
// line and may hold blanks.
bool parseDirTail(std::string_view tail, DirCommand& command) {
    bool recursive = false;
    bool bare = false;
    std::size_t i = 0;
    for (;;) {
        while (i < tail.size() && isBlank(tail[i]))
            ++i;
        if (i == tail.size())
            return recursive && bare;
        if (tail[i] == '/') {
            if (i + 1 == tail.size())
                return false;
            const char option = tail[i + 1];
            if (option == 's' || option == 'S')
                recursive = true;
            else if (option == 'b' || option == 'B')
                bare = true;
            else
                return false;
            i += 2;
            if (i < tail.size() && !isBlank(tail[i]) && tail[i] != '/' && tail[i] != '>')
                return false;
            continue;
        }
        if (tail[i] != '>')
            return false;
        command.append = i + 1 < tail.size() && tail[i + 1] == '>';
        i += command.append ? 2 : 1;
        const std::string_view target = trimLeft(tail.substr(i));
        if (target.empty())
            return false;
        command.toStandardOutput = false;
        command.target = std::string(target);
        return recursive && bare;
    }
}

bool parseDir(std::string_view arguments, DirCommand& command) {
    arguments = trimLeft(arguments);
    std::string_view path;
    if (!arguments.empty() && arguments.front() == '"') {
        // The closing quote is the last one after which only switches and a redirection
        // follow, so a folder holding a quote (even one followed by "/s/b>x") is read whole.
        bool found = false;
        for (std::size_t quote = arguments.rfind('"'); quote != std::string_view::npos && quote > 0;
             quote = arguments.rfind('"', quote - 1)) {
            DirCommand attempt;
            if (parseDirTail(arguments.substr(quote + 1), attempt)) {
                command = attempt;
                path = arguments.substr(1, quote - 1);
                found = true;
                break;
            }
        }
        if (!found)
            return false;
    } else {
        std::size_t end = 0;
        while (end < arguments.size() && !isBlank(arguments[end]) && arguments[end] != '>')
            ++end;
        path = arguments.substr(0, end);
        if (path.empty() || !parseDirTail(arguments.substr(end), command))
            return false;
    }
    const std::size_t slash = path.rfind('/');
    const std::size_t split = slash == std::string_view::npos ? 0 : slash + 1;
    command.folder = std::string(path.substr(0, split));
    command.pattern = std::string(path.substr(split));
    return true;
}

} // namespace

std::vector<std::string_view> splitBatchLines(std::string_view batch) {
    std::vector<std::string_view> lines;
    while (!batch.empty()) {
        const std::size_t end = batch.find('\n');
        std::string_view line = batch.substr(0, end);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        lines.push_back(line);
        if (end == std::string_view::npos)
            break;
        batch.remove_prefix(end + 1);
    }
    return lines;
}

BatchCommand parseBatchLine(std::string_view line) {
    BatchCommand command;
    line = trimLeft(line);
    while (!line.empty() && line.front() == '@') // "@" only hides the command's echo
        line = trimLeft(line.substr(1));
    if (trim(line).empty()) {
        command.kind = BatchCommand::Kind::Empty;
        return command;
    }

    std::size_t wordEnd = 0;
    while (wordEnd < line.size() &&
           ((line[wordEnd] | 0x20) >= 'a' && (line[wordEnd] | 0x20) <= 'z'))
        ++wordEnd;
    const std::string_view word = line.substr(0, wordEnd);
    const std::string_view rest = line.substr(wordEnd);

    if (equalsIgnoringCase(word, "echo")) {
        if (!rest.empty() && rest.front() == '.') {
            command.kind = BatchCommand::Kind::Echo;
            command.text = std::string(rest.substr(1));
        } else if (trim(rest).empty()) {
            command.kind = BatchCommand::Kind::EchoState;
        } else if (isBlank(rest.front())) {
            const std::string_view text = rest.substr(1);
            if (equalsIgnoringCase(trim(text), "off")) {
                command.kind = BatchCommand::Kind::EchoOff;
            } else if (equalsIgnoringCase(trim(text), "on")) {
                command.kind = BatchCommand::Kind::EchoOn;
            } else {
                command.kind = BatchCommand::Kind::Echo;
                command.text = std::string(text);
            }
        }
    } else if (equalsIgnoringCase(word, "cls")) {
        if (trim(rest).empty())
            command.kind = BatchCommand::Kind::Cls;
    } else if (equalsIgnoringCase(word, "dir")) {
        if (!rest.empty() && (isBlank(rest.front()) || rest.front() == '"') &&
            parseDir(rest, command.dir))
            command.kind = BatchCommand::Kind::Dir;
    }
    return command;
}

} // namespace mixgen::cmd
