#pragma once

// The whole program behind main(): the terminal's "--help" and "--version", the choice of
// display, the message seam, and the main window's start-up.
namespace mixgen {

int runProgram(int argc, char** argv);

} // namespace mixgen
