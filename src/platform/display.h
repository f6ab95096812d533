#pragma once

namespace mixgen {

// Called once by main, before the application object exists. Without a display (neither
// DISPLAY nor WAYLAND_DISPLAY set, and QT_QPA_PLATFORM not set, or set to "offscreen" or
// "minimal") it chooses Qt's offscreen platform and remembers that the program speaks through
// the terminal and ends wherever it would wait for a person. Returns runsWithoutDisplay().
bool prepareDisplayPlatform();

// The choice prepareDisplayPlatform() would make, read from the environment alone and
// changing nothing: true when the program would run without a display.
bool environmentNamesNoDisplay();

// What prepareDisplayPlatform() decided; false when it was never called (as in tests).
bool runsWithoutDisplay();

} // namespace mixgen
