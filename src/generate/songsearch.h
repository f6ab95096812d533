#pragma once

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <functional>

namespace mixgen {

// How a song search ended, and so where the run goes on.
enum class SearchStatus {
    Listed, // the list was read (possibly empty): the pick runs next
    NoPath, // no usable path: "No files were found. Playlist is empty." was shown; close
    Failed, // the list could not be read (a message was shown, or the list file was
            // missing because the interpreter did not start): straight to the finish step
};

// The song search: splits the path list, writes and runs the batch file in the work folder,
// reads the translated list into found (cleared first) and removes the work files. Speaks
// through the message seam. progress, when given, is called while the interpreter runs with
// the number of songs listed so far.
SearchStatus runSongSearch(const QString& pathList, QStringList& found,
                           const std::function<void(qint64 foundSoFar)>& progress = {});

// The search's own steps, each usable alone.

// At most this many search folders are used from one path list.
inline constexpr int kMaxSearchPaths = 5000;

struct SplitPaths {
    QStringList paths;        // each ending in "/", in path-list order
    QStringList unsearchable; // segments holding a line break or NUL: never written to a batch
    bool overLimit = false;   // a segment came after kMaxSearchPaths paths: the notice is due
};
// Splits the path list at ";". Runs of "/" count as one. Empty segments and a lone "/" are
// dropped (and do not count), a segment of blanks is kept, a segment holding CR, LF or NUL is
// set aside as unsearchable (a batch line cannot carry it), and a segment met while
// kMaxSearchPaths are held stops the split, even an empty one.
SplitPaths splitPathList(const QString& pathList);

// The batch file, byte for byte: the framed " Now working... " box, one dir line per path
// and extension (path-major; the first creates the list file with ">", the others append with
// ">>"), cls, the framed "Done" box, three blank echoes and the note about "Close on exit".
// Paths are written UTF-8; the box bytes are code page 437; every line ends in CR LF.
QByteArray searchBatchBytes(const QStringList& paths, const QStringList& extensions,
                            const QString& listFilePath);

// The translation of one list-file byte above 127: its character from the 40-entry table, or
// "_" after the warning about an unsupported character, which shows lineAsRead (decoded from
// code page 437) in capital letters.
QChar OemToAnsiChar(unsigned char character, const QByteArray& lineAsRead);

// The songs of a list file's bytes: one per line (CR LF, or a lone LF, ends a line; a last
// line without an end counts too), each byte above 127 through OemToAnsiChar. Appends to
// songs.
void decodeSongList(const QByteArray& bytes, QStringList& songs);

// The message for folders that cannot be searched because their names hold a line break.
QString unsearchableFoldersText(const QStringList& folders);

// The last steps of the search, once the interpreter has ended: reads the list file in one go
// into found. A missing list (the interpreter never started) is Failed without a message and
// leaves the batch file; a list that cannot be read shows the read-error message and leaves
// both files; a list read whole is Listed and both files are deleted.
SearchStatus readSongList(const QString& batchPath, const QString& listPath, QStringList& found);

// Counts the songs an interpreter has listed so far by reading only what was added to the
// list file since the previous call.
class ListedSongCounter {
public:
    explicit ListedSongCounter(QString listFilePath) : m_path(std::move(listFilePath)) {}

    // Reads what is new in the list file and returns the number of line ends seen in all.
    qint64 poll();

private:
    QString m_path;
    qint64 m_readUpTo = 0;
    qint64 m_lineEnds = 0;
};

} // namespace mixgen
