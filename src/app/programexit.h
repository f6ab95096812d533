#pragma once

#include <functional>

namespace mixgen {

// The order in which the program's windows are unloaded at exit.
enum class WindowSlot { Help, Folder, Options, Splash, File, Playlist, Main, Count };

// A window registers how it is unloaded; the unload of a window never shown is not called.
void registerWindowUnload(WindowSlot slot, std::function<void()> unload);
// Sets the playlist window's tag before the unloads (its unload check then lets them pass).
void registerExitTagSetter(std::function<void()> setTagToOne);

// The exit status of this run: 0 unless a request set otherwise (a command-line request is
// 0 only when a playlist with at least one song was written).
void setExitStatus(int status);
int exitStatus();

// Sets the playlist window's tag to "1", unloads the windows in their fixed order and ends the
// process at once with the run's exit status. Never returns.
[[noreturn]] void ExitProgram();

} // namespace mixgen
