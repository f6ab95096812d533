#include "generate/songsearch.h"

#include "core/settingsstore.h"
#include "generate/extensions.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <QFile>
#include <QSaveFile>

namespace mixgen {

namespace {

const QString kNoFilesFound = QStringLiteral("No files were found. Playlist is empty.");

// Written whole or not at all: a half-written batch file must never be left for a run to use.
bool writeBatchFile(const QString& batchPath, const QByteArray& bytes) {
    QSaveFile batch(batchPath);
    if (batch.open(QIODevice::WriteOnly) && batch.write(bytes) == bytes.size() && batch.commit())
        return true;
    const QString reason = batch.errorString();
    batch.cancelWriting();
    MsgBox(QStringLiteral("An error occured while trying to write to file ") + batchPath.toUpper() +
               QStringLiteral("\r\n\r\n") + reason,
           MsgButtons::Ok, MsgIcon::Exclamation);
    return false;
}

} // namespace

SearchStatus readSongList(const QString& batchPath, const QString& listPath, QStringList& found) {
    QFile list(listPath);
    // No list at all: the interpreter never started. The finish step reports the empty
    // result; the batch file stays for a look at what went wrong.
    if (!list.exists())
        return SearchStatus::Failed;
    QByteArray bytes;
    if (list.open(QIODevice::ReadOnly))
        bytes = list.readAll();
    if (!list.isOpen() || list.error() != QFileDevice::NoError) {
        list.close();
        MsgBox(
            QStringLiteral("An error occured while trying to read the list of MP3 files.\r\n\r\n"),
            MsgButtons::Ok, MsgIcon::Exclamation);
        return SearchStatus::Failed;
    }
    list.close();
    decodeSongList(bytes, found);
    QFile::remove(batchPath);
    QFile::remove(listPath);
    return SearchStatus::Listed;
}

SearchStatus runSongSearch(const QString& pathList, QStringList& found,
                           const std::function<void(qint64 foundSoFar)>& progress) {
    found.clear();

    QString why;
    const QString work = workFolder(&why);
    if (work.isEmpty()) {
        MsgBox(QStringLiteral("Cannot search for files: the work folder cannot be used.\r\n\r\n") +
                   why,
               MsgButtons::Ok, MsgIcon::Exclamation);
        return SearchStatus::Failed;
    }

    const SplitPaths split = splitPathList(pathList);
    if (split.overLimit)
        MsgBox(QStringLiteral("Cannot process more than 5000 paths at once. The first 5000 paths "
                              "will be used."),
               MsgButtons::Ok, MsgIcon::None);
    if (split.paths.isEmpty()) {
        MsgBox(kNoFilesFound, MsgButtons::Ok, MsgIcon::Information);
        return SearchStatus::NoPath;
    }

    const QString batchPath = work + QStringLiteral("mixgen.bat");
    const QString listPath = work + QStringLiteral("mixgen.lst");
    QFile::remove(listPath);
    const QByteArray batch =
        searchBatchBytes(split.paths, enabledExtensions(SettingsStore()), listPath);
    if (!writeBatchFile(batchPath, batch))
        return SearchStatus::Failed;

    ListedSongCounter counter(listPath);
    std::function<void()> whileWaiting;
    if (progress)
        whileWaiting = [&] { progress(counter.poll()); };
    RunAndWait({batchPath}, whileWaiting);

    return readSongList(batchPath, listPath, found);
}

} // namespace mixgen
