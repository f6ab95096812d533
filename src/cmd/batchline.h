#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace mixgen::cmd {

// A dir /s /b command: the folder as written (ending in "/", or empty for the current
// folder), the name pattern, and where its lines go.
struct DirCommand {
    std::string folder;
    std::string pattern;
    bool toStandardOutput = true;
    std::string target;  // the redirection target, when not to standard output
    bool append = false; // ">>" rather than ">"
};

// One line of a batch file, as the interpreter understands it.
struct BatchCommand {
    enum class Kind {
        Empty,     // nothing to do
        EchoOff,   // "echo off" (or "@echo off")
        EchoOn,    // "echo on"
        EchoState, // a bare "echo": tells whether echo is on
        Echo,      // "echo <text>" or "echo." (text empty)
        Cls,
        Dir,
        Unknown, // anything else: reported and skipped
    };
    Kind kind = Kind::Unknown;
    std::string text; // the text of an echo, as written
    DirCommand dir;
};

// Splits a batch file into lines at LF, dropping the CR of a CR LF line end.
std::vector<std::string_view> splitBatchLines(std::string_view batch);

BatchCommand parseBatchLine(std::string_view line);

} // namespace mixgen::cmd
