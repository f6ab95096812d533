#include "app/programexit.h"

#include "generate/songsearch.h"

#include <unistd.h>

#include <array>
#include <cstddef>
#include <cstdio>

namespace mixgen {

namespace {

constexpr std::size_t kSlotCount = static_cast<std::size_t>(WindowSlot::Count);

struct ExitState {
    std::array<std::function<void()>, kSlotCount> unloads;
    std::function<void()> setTagToOne;
    int status = 0;
    // The next window to unload. Kept here rather than in ExitProgram's loop, because an unload
    // may itself reach ExitProgram (a window whose close ends the program): that inner call
    // must carry on with the windows after it, and neither call ever returns.
    std::size_t nextUnload = 0;
    bool tagSet = false;
};

ExitState& state() {
    static ExitState exitState;
    return exitState;
}

} // namespace

void registerWindowUnload(WindowSlot slot, std::function<void()> unload) {
    const auto index = static_cast<std::size_t>(slot);
    if (index < kSlotCount)
        state().unloads[index] = std::move(unload);
}

void registerExitTagSetter(std::function<void()> setTagToOne) {
    state().setTagToOne = std::move(setTagToOne);
}

void setExitStatus(int status) {
    state().status = status;
}

int exitStatus() {
    return state().status;
}

void ExitProgram() {
    ExitState& exit = state();
    if (!exit.tagSet) {
        exit.tagSet = true;
        if (exit.setTagToOne)
            exit.setTagToOne();
    }
    while (exit.nextUnload < kSlotCount) {
        // Taken out before the call, so no window is unloaded twice and a window may unregister
        // itself while it unloads.
        std::function<void()> unload = std::move(exit.unloads[exit.nextUnload]);
        exit.unloads[exit.nextUnload] = nullptr;
        ++exit.nextUnload;
        if (unload)
            unload();
    }
    // A search started ahead that no run took leaves no interpreter and no files behind.
    dropEarlySongSearch();
    // _exit skips the stdio buffers, so whatever a run printed is pushed out first.
    std::fflush(nullptr);
    ::_exit(exit.status);
}

} // namespace mixgen
