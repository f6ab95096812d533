#pragma once

#include "core/settingsstore.h"
#include "platform/markerlock.h"

#include <QString>

#include <chrono>
#include <functional>

// The multi-folder loader without its window: instances started together for several folders
// (one folder each, "/LOADER") hand their folders to one of them, the collecting instance,
// which makes one playlist from all of them.
namespace mixgen {

// In the work folder: the marker whose lock serialises the hand-over, and the lock the
// collecting instance holds for as long as it collects (so a collector that died is known).
inline constexpr char kLoaderMarkerName[] = "~MIXGEN.TMP";
inline constexpr char kCollectorLockName[] = "~MIXGEN.COL";

// How long an instance waits for the marker lock.
struct LockWait {
    // Longest wait while other instances hold the lock.
    std::chrono::milliseconds bound{30000};
    // Longest unbroken run of refusals (a marker that is a folder or a link, an unwritable
    // work folder): such a marker does not mend itself while we wait.
    std::chrono::milliseconds refusedBound{3000};
    // Pause between attempts, after the window events have run.
    std::chrono::milliseconds pause{5};
    // How often an instance that handed its folder over looks whether the collector took it.
    std::chrono::milliseconds watchPause{50};
    // Longest wait for a living collector to take the list.
    std::chrono::milliseconds collectionBound{300000};
};

class FolderLoader {
public:
    // workFolder ends in "/". letEventsRun keeps the instance's windows alive while it waits.
    FolderLoader(const QString& workFolder, std::function<void()> letEventsRun, LockWait wait = {});

    enum class HandOver {
        Collect,    // this instance collects: folders() holds the list so far
        HandedOver, // the folder is in the collector's list; this instance may end
        NoLock,     // the lock could not be had: problem() says why, nothing was handed over
    };
    // Under the marker lock: takes the collecting role when no collecting instance lives (none
    // recorded, or the recorded one ended without cleaning up), and appends folder to the list.
    HandOver handOver(const QString& folder);

    // After HandedOver: waits, letting events run, until the collecting instance has taken the
    // list with this instance's folder (HandedOver: this instance may end with success). When
    // the collector ended without taking it, this instance takes its place and its list
    // (Collect), so that no folder is left behind for an unrelated later playlist. NoLock when
    // the lock could not be had or the collector took too long: problem() says why.
    HandOver awaitCollection();

    enum class Check {
        Changed, // folders arrived since seen: folders() holds the new list
        Done,    // nothing arrived: the loader keys, the marker and the role are given up
        NoLock,  // the lock could not be had: problem() says why; the role is given up
    };
    // One check of the collecting instance, under the marker lock, so that no folder handed
    // over at the same moment is lost and no second collector starts meanwhile.
    Check collect(const QString& seen);

    const QString& folders() const { return m_folders; }
    bool collecting() const { return m_collector.isLocked(); }
    // Why the lock could not be had, in words for a message.
    const QString& problem() const { return m_problem; }

    QString markerPath() const;
    QString collectorLockPath() const;

private:
    bool takeMarkerLock();
    QString loaderSetting(const char* key) const;

    QString m_workFolder;
    std::function<void()> m_letEventsRun;
    LockWait m_wait;
    SettingsStore m_store;
    MarkerLock m_marker;
    MarkerLock m_collector;
    RemovalWatch m_handedTo; // the collector's lock file this instance handed its folder to
    QString m_folders;
    QString m_problem;
};

// The list after an instance hands over folder: "old;folder", or folder when old is empty.
// An instance without a folder appends an empty entry (the search skips it).
QString appendFolder(const QString& old, const QString& folder);

} // namespace mixgen
