#include "app/loader.h"

#include "core/settingkeys.h"

#include <QElapsedTimer>
#include <QFile>
#include <QThread>

namespace mixgen {

QString appendFolder(const QString& old, const QString& folder) {
    return old.isEmpty() ? folder : old + u';' + folder;
}

FolderLoader::FolderLoader(const QString& workFolder, std::function<void()> letEventsRun,
                           LockWait wait)
    : m_workFolder(workFolder), m_letEventsRun(std::move(letEventsRun)), m_wait(wait) {}

QString FolderLoader::markerPath() const {
    return m_workFolder + QLatin1String(kLoaderMarkerName);
}

QString FolderLoader::collectorLockPath() const {
    return m_workFolder + QLatin1String(kCollectorLockName);
}

QString FolderLoader::loaderSetting(const char* key) const {
    return m_store.GetSetting(QLatin1String(keys::kLoader), QLatin1String(key), QString());
}

bool FolderLoader::takeMarkerLock() {
    QElapsedTimer waited;
    waited.start();
    QElapsedTimer refusedFor;
    for (;;) {
        if (m_letEventsRun) {
            m_letEventsRun();
            m_letEventsRun();
        }
        switch (m_marker.tryLock(markerPath())) {
        case MarkerLock::Attempt::Locked:
            m_problem.clear();
            return true;
        case MarkerLock::Attempt::Busy:
            refusedFor.invalidate();
            break;
        case MarkerLock::Attempt::Refused:
            if (!refusedFor.isValid())
                refusedFor.start();
            break;
        }
        const bool refusedTooLong =
            refusedFor.isValid() && refusedFor.elapsed() >= m_wait.refusedBound.count();
        if (refusedTooLong || waited.elapsed() >= m_wait.bound.count()) {
            const QString reason = refusedTooLong
                                       ? m_marker.why()
                                       : QStringLiteral("another instance held it for %1 seconds")
                                             .arg(m_wait.bound.count() / 1000.0);
            m_problem = QStringLiteral("Could not lock the loader's marker file %1 (%2).")
                            .arg(markerPath(), reason);
            return false;
        }
        QThread::msleep(static_cast<unsigned long>(m_wait.pause.count()));
    }
}

FolderLoader::HandOver FolderLoader::handOver(const QString& folder) {
    // Without a usable settings file no folder could be handed over: say so instead.
    const QString storeProblem = m_store.fileProblem();
    if (!storeProblem.isEmpty()) {
        m_problem = QStringLiteral("The settings file %1 cannot be used: %2")
                        .arg(m_store.filePath(), storeProblem);
        return HandOver::NoLock;
    }
    if (!takeMarkerLock())
        return HandOver::NoLock;

    MarkerLock::Attempt role = MarkerLock::Attempt::Refused;
    m_store.UpdateSection(QLatin1String(keys::kLoader),
                          {QLatin1String(keys::kIsLoader), QLatin1String(keys::kFolders)},
                          [&](QStringList& values) {
                              // A recorded collector counts only while it holds its lock: the
                              // kernel let go of the lock of one that was killed or crashed, and
                              // this instance then takes its place and its list.
                              const bool recorded = !values[0].isEmpty();
                              role = m_collector.tryLock(collectorLockPath());
                              if (role == MarkerLock::Attempt::Refused)
                                  return;
                              // A living collector whose record was lost (settings removed
                              // meanwhile) gets it back, so that later instances hand over to it
                              // too.
                              if (role == MarkerLock::Attempt::Locked || !recorded)
                                  values[0] = QStringLiteral("True");
                              m_folders = appendFolder(values[1], folder);
                              values[1] = m_folders;
                          });
    if (role == MarkerLock::Attempt::Refused) {
        m_problem = QStringLiteral("Could not lock the loader's file %1 (%2).")
                        .arg(collectorLockPath(), m_collector.why());
        m_marker.release();
        return HandOver::NoLock;
    }
    // A write that did not happen (a full disk, a read-only settings folder) must not pass for
    // a folder handed over.
    if (loaderSetting(keys::kFolders) != m_folders) {
        m_problem = QStringLiteral("Could not record the folder in the settings file %1.")
                        .arg(m_store.filePath());
        m_collector.release();
        m_marker.release();
        return HandOver::NoLock;
    }
    // The collector removes its lock file once it has taken the list: watching that file tells
    // this instance whether its folder was taken or the collector ended without it.
    if (!m_collector.isLocked() && !m_handedTo.watch(collectorLockPath())) {
        m_problem =
            QStringLiteral("Could not watch the loader's file %1.").arg(collectorLockPath());
        m_marker.release();
        return HandOver::NoLock;
    }
    m_marker.release();
    return m_collector.isLocked() ? HandOver::Collect : HandOver::HandedOver;
}

FolderLoader::HandOver FolderLoader::awaitCollection() {
    QElapsedTimer waited;
    waited.start();
    for (;;) {
        // A removed file stays removed: no lock is needed to see that the list was taken.
        if (m_handedTo.removed())
            return HandOver::HandedOver;
        if (!takeMarkerLock())
            return HandOver::NoLock;
        // Under the marker lock the collector can neither finish nor be replaced meanwhile.
        if (m_handedTo.removed()) {
            // It finished meanwhile, and removed the marker this wait has just made anew.
            m_marker.removeAndRelease();
            return HandOver::HandedOver;
        }
        switch (m_collector.tryLock(collectorLockPath())) {
        case MarkerLock::Attempt::Busy:
            break;
        case MarkerLock::Attempt::Refused:
            m_problem = QStringLiteral("Could not lock the loader's file %1 (%2).")
                            .arg(collectorLockPath(), m_collector.why());
            m_marker.release();
            return HandOver::NoLock;
        case MarkerLock::Attempt::Locked: {
            // The collector ended without taking the list: this instance collects in its place.
            m_store.UpdateSection(QLatin1String(keys::kLoader),
                                  {QLatin1String(keys::kIsLoader), QLatin1String(keys::kFolders)},
                                  [&](QStringList& values) {
                                      values[0] = QStringLiteral("True");
                                      m_folders = values[1];
                                  });
            m_marker.release();
            return HandOver::Collect;
        }
        }
        m_marker.release();
        if (waited.elapsed() >= m_wait.collectionBound.count()) {
            m_problem = QStringLiteral("The instance collecting the folders did not finish "
                                       "within %1 seconds.")
                            .arg(m_wait.collectionBound.count() / 1000.0);
            return HandOver::NoLock;
        }
        if (m_letEventsRun)
            m_letEventsRun();
        QThread::msleep(static_cast<unsigned long>(m_wait.watchPause.count()));
    }
}

FolderLoader::Check FolderLoader::collect(const QString& seen) {
    if (!takeMarkerLock()) {
        // Whoever comes next takes the role and the list, instead of handing over to an
        // instance that no longer collects.
        m_collector.release();
        return Check::NoLock;
    }
    const QString folders = loaderSetting(keys::kFolders);
    if (folders != seen) {
        m_folders = folders;
        m_marker.release();
        return Check::Changed;
    }
    m_store.DeleteSetting(QLatin1String(keys::kLoader), QLatin1String(keys::kIsLoader));
    m_store.DeleteSetting(QLatin1String(keys::kLoader), QLatin1String(keys::kFolders));
    m_collector.removeAndRelease();
    m_marker.removeAndRelease();
    return Check::Done;
}

} // namespace mixgen
