#include "generate/songsearch.h"

#include "core/settingsstore.h"
#include "generate/extensions.h"
#include "platform/folders.h"
#include "platform/messages.h"
#include "platform/process.h"

#include <QElapsedTimer>
#include <QFile>

#include <memory>

namespace mixgen {

namespace {

const QString kNoFilesFound = QStringLiteral("No files were found. Playlist is empty.");
const QString kReadError =
    QStringLiteral("An error occured while trying to read the list of MP3 files.\r\n\r\n");

// At most this much of what the interpreter said is shown when it failed.
constexpr qint64 kMostReasonBytes = 4096;
// At most this much of it is searched for folders it could not read whole.
constexpr qint64 kMostErrorBytes = 1 << 20;
// At most this many of them are named in the message.
constexpr int kMostFoldersNamed = 20;
// The growing list is looked at this often while the interpreter writes it. A watch that
// woke the reader at each write slowed the walk itself, when the work folder lies on the
// music's file system (some 5 to 10 ms for a million files), more than it saved.
constexpr int kListLookMs = 10;
// The count found so far is shown at most this often, as before the list was looked at every
// 10 ms: a window repainted at each look would only take CPU from the walk.
constexpr qint64 kProgressEveryMs = 50;

// How the interpreter names a folder it could not read whole (batchrunner.cpp).
const QByteArray kPartlyReadStart = "could not read the folder \"";
const QByteArray kPartlyReadEnd = "\" whole: ";

bool writeBatchFile(const QString& batchPath, const QByteArray& bytes, bool speak) {
    // The run's folder is new and only ours, so the file is made there new.
    QFile batch(batchPath);
    if (batch.open(QIODevice::WriteOnly | QIODevice::NewOnly) &&
        batch.write(bytes) == bytes.size() && batch.flush())
        return true;
    if (speak)
        MsgBox(QStringLiteral("An error occured while trying to write to file ") +
                   batchPath.toUpper() + QStringLiteral("\r\n\r\n") + batch.errorString(),
               MsgButtons::Ok, MsgIcon::Exclamation);
    return false;
}

// Why the interpreter failed, in its own words: the end of what it wrote on standard error.
QString interpreterFailure(const StartResult& run, const QString& errorPath) {
    QFile errors(errorPath);
    QByteArray said;
    if (errors.open(QIODevice::ReadOnly)) {
        if (errors.size() > kMostReasonBytes)
            errors.seek(errors.size() - kMostReasonBytes);
        said = errors.readAll().trimmed();
    }
    if (!said.isEmpty())
        return QString::fromUtf8(said);
    return QStringLiteral("The song search ended with status %1.").arg(run.exitCode);
}

// After a search that listed its songs: one message for the folders the interpreter could
// not read whole, if any.
void reportPartlyReadFolders(const QString& errorPath) {
    QFile errors(errorPath);
    if (!errors.open(QIODevice::ReadOnly))
        return;
    const QStringList folders = partlyReadFolders(errors.read(kMostErrorBytes));
    if (!folders.isEmpty())
        MsgBox(partlyReadFoldersText(folders), MsgButtons::Ok, MsgIcon::Information);
}

} // namespace

QStringList partlyReadFolders(const QByteArray& interpreterErrors) {
    QStringList folders;
    for (const QByteArray& line : interpreterErrors.split('\n')) {
        const qsizetype start = line.indexOf(kPartlyReadStart);
        const qsizetype end = line.lastIndexOf(kPartlyReadEnd);
        if (start < 0 || end < start + kPartlyReadStart.size())
            continue;
        const qsizetype from = start + kPartlyReadStart.size();
        const QString folder = QString::fromUtf8(line.mid(from, end - from));
        if (!folders.contains(folder))
            folders.append(folder);
    }
    return folders;
}

QString partlyReadFoldersText(const QStringList& folders) {
    QString text = QStringLiteral("Some folders could not be read whole, so songs in them may be "
                                  "missing from the list:\r\n");
    for (const QString& folder : folders.mid(0, kMostFoldersNamed))
        text += QStringLiteral("\r\n") + folder;
    if (folders.size() > kMostFoldersNamed)
        text += QStringLiteral("\r\n... and %1 more.").arg(folders.size() - kMostFoldersNamed);
    return text;
}

SearchStatus finishSongList(SongListReader& reader, const QString& batchPath,
                            const QString& listPath) {
    switch (reader.finish()) {
    case SongListReader::End::Missing:
        // No list at all: the interpreter never started. The finish step reports the empty
        // result.
        return SearchStatus::Failed;
    case SongListReader::End::Failed:
        MsgBox(kReadError, MsgButtons::Ok, MsgIcon::Exclamation);
        return SearchStatus::Failed;
    case SongListReader::End::Read:
        break;
    }
    reader.warnAboutUnsupportedCharacters();
    QFile::remove(batchPath);
    QFile::remove(listPath);
    return SearchStatus::Listed;
}

SearchStatus readSongList(const QString& batchPath, const QString& listPath, QStringList& found) {
    FoundSongs songs;
    SongListReader reader(listPath, songs);
    const SearchStatus status = finishSongList(reader, batchPath, listPath);
    found.append(songs.toStringList());
    return status;
}

SearchStatus runSongSearch(const QString& pathList, QStringList& found,
                           const std::function<void(qint64 foundSoFar)>& progress) {
    FoundSongs songs;
    const SearchStatus status = runSongSearch(pathList, songs, progress);
    found = songs.toStringList();
    return status;
}

namespace {

// A search whose interpreter has been started: its private run folder with the batch, list
// and error files, and the interpreter. Gone, it leaves nothing.
struct StartedSearch {
    QString pathList;
    QStringList extensions;
    QString run;
    QString batchPath;
    QString listPath;
    QString errorPath;
    WaitedProgram interpreter;

    StartedSearch() = default;
    StartedSearch(const StartedSearch&) = delete;
    StartedSearch& operator=(const StartedSearch&) = delete;
    ~StartedSearch() {
        interpreter.stop();
        if (!run.isEmpty())
            removeRunFolder(run);
    }
};

// The search started ahead of its run, if any.
std::unique_ptr<StartedSearch>& earlySearch() {
    static std::unique_ptr<StartedSearch> search;
    return search;
}

enum class StartOutcome { Started, NoPath, Failed };

// Starts the search for pathList: the run folder, the batch file and the interpreter. With
// speak, every reason not to start is shown as the search shows it; without, nothing is said
// and nothing is started where something would have to be said.
StartOutcome startSearch(const QString& pathList, bool speak,
                         std::unique_ptr<StartedSearch>& started) {
    auto search = std::make_unique<StartedSearch>();
    search->pathList = pathList;
    search->extensions = enabledExtensions(SettingsStore());

    QString why;
    const auto unusableWorkFolder = [&] {
        if (speak)
            MsgBox(
                QStringLiteral("Cannot search for files: the work folder cannot be used.\r\n\r\n") +
                    why,
                MsgButtons::Ok, MsgIcon::Exclamation);
        return StartOutcome::Failed;
    };
    const QString work = workFolder(&why);
    if (work.isEmpty())
        return unusableWorkFolder();

    const SplitPaths split = splitPathList(pathList);
    if (!speak && (split.overLimit || !split.unsearchable.isEmpty() || split.paths.isEmpty()))
        return StartOutcome::Failed;
    if (split.overLimit)
        MsgBox(QStringLiteral("Cannot process more than 5000 paths at once. The first 5000 paths "
                              "will be used."),
               MsgButtons::Ok, MsgIcon::None);
    if (!split.unsearchable.isEmpty())
        MsgBox(unsearchableFoldersText(split.unsearchable), MsgButtons::Ok, MsgIcon::Exclamation);
    if (split.paths.isEmpty()) {
        MsgBox(kNoFilesFound, MsgButtons::Ok, MsgIcon::Information);
        return StartOutcome::NoPath;
    }

    // Each run keeps its batch and list files in a folder of its own, so that instances
    // started together never read each other's list, and nothing planted in a shared work
    // folder is written or read through.
    search->run = newRunFolder(work, &why);
    if (search->run.isEmpty())
        return unusableWorkFolder();
    search->batchPath = search->run + QStringLiteral("mixgen.bat");
    search->listPath = search->run + QStringLiteral("mixgen.lst");
    search->errorPath = search->run + QStringLiteral("mixgen.err");
    const QByteArray batch = searchBatchBytes(split.paths, search->extensions, search->listPath);
    if (!writeBatchFile(search->batchPath, batch, speak))
        return StartOutcome::Failed;
    // The echo boxes were meant for a console window; there is none to show them.
    search->interpreter = startWaited({search->batchPath}, {true, search->errorPath});
    if (!speak && !search->interpreter.start().started)
        return StartOutcome::Failed; // the run will try again, and tell
    started = std::move(search);
    return StartOutcome::Started;
}

// The search started early for pathList with the song patterns now chosen, if there is one;
// one for anything else is stopped.
std::unique_ptr<StartedSearch> takeEarlySearch(const QString& pathList) {
    std::unique_ptr<StartedSearch> search = std::move(earlySearch());
    if (search &&
        (search->pathList != pathList || search->extensions != enabledExtensions(SettingsStore())))
        search.reset();
    return search;
}

} // namespace

bool startSongSearchEarly(const QString& pathList) {
    dropEarlySongSearch();
    return startSearch(pathList, false, earlySearch()) == StartOutcome::Started;
}

void dropEarlySongSearch() {
    earlySearch().reset();
}

SearchStatus runSongSearch(const QString& pathList, FoundSongs& found,
                           const std::function<void(qint64 foundSoFar)>& progress) {
    found.clear();

    std::unique_ptr<StartedSearch> search = takeEarlySearch(pathList);
    if (!search) {
        switch (startSearch(pathList, true, search)) {
        case StartOutcome::Started:
            break;
        case StartOutcome::NoPath:
            return SearchStatus::NoPath;
        case StartOutcome::Failed:
            return SearchStatus::Failed;
        }
    }

    // The list is decoded while the interpreter writes it (on another core), so little is
    // left to do when it ends.
    SongListReader reader(search->listPath, found);
    QElapsedTimer sinceShown;
    sinceShown.start();
    const auto whileWaiting = [&] {
        const qint64 soFar = reader.poll();
        if (progress && sinceShown.elapsed() >= kProgressEveryMs) {
            sinceShown.restart();
            progress(soFar);
        }
    };
    const StartResult ran = search->interpreter.waitFor(whileWaiting, kListLookMs);
    SearchStatus status = SearchStatus::Failed;
    if (!ran.started) {
        // Said, rather than left to the finish step's "No files were found": no folder was
        // searched (a user at the limit of their processes, an interpreter missing).
        MsgBox(kReadError + QStringLiteral("The song search could not be started: ") + ran.error,
               MsgButtons::Ok, MsgIcon::Exclamation);
    } else if (ran.exitCode != 0) {
        // A list the interpreter could not write whole is never taken for all the songs.
        found.clear();
        MsgBox(kReadError + interpreterFailure(ran, search->errorPath), MsgButtons::Ok,
               MsgIcon::Exclamation);
    } else {
        status = finishSongList(reader, search->batchPath, search->listPath);
        if (status == SearchStatus::Listed)
            reportPartlyReadFolders(search->errorPath);
    }
    if (status != SearchStatus::Listed)
        found.clear(); // what was decoded of a list that failed is no result
    return status;
}

} // namespace mixgen
