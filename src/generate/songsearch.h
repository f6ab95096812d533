#pragma once

#include "generate/foundsongs.h"

#include <QByteArray>
#include <QChar>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

namespace mixgen {

// How a song search ended, and so where the run goes on.
enum class SearchStatus {
    Listed, // the list was read (possibly empty): the pick runs next
    NoPath, // no usable path: "No files were found. Playlist is empty." was shown; close
    Failed, // no list, or one that could not be read (a message was shown; readSongList
            // says nothing of a missing list): straight to the finish step
};

// The song search: splits the path list, writes and runs the batch file in a new private
// folder inside the work folder, decodes the list into found (cleared first) while the
// interpreter writes it, and removes the folder. Speaks through the message seam. progress,
// when given, is called while the interpreter runs with the number of songs listed so far.
SearchStatus runSongSearch(const QString& pathList, FoundSongs& found,
                           const std::function<void(qint64 foundSoFar)>& progress = {});
// The same into a plain list (tests, tools).
SearchStatus runSongSearch(const QString& pathList, QStringList& found,
                           const std::function<void(qint64 foundSoFar)>& progress = {});

// A request that names its folders on the command line can have its search started before
// its windows are made, so the walk goes on while they are. The run's search takes it over
// when it is for the same path list and song patterns; any other search stops it first.
// Nothing is started (false) where the search would have something to say before it starts:
// that is left to the run's own search.
bool startSongSearchEarly(const QString& pathList);
// Stops a search started early that no run will take, and clears its files away.
void dropEarlySongSearch();

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
// Everything is written in UTF-8, the box too; every line ends in CR LF.
QByteArray searchBatchBytes(const QStringList& paths, const QStringList& extensions,
                            const QString& listFilePath);

// The list file holds each name's own bytes. A valid UTF-8 character passes through unchanged;
// one that a UTF-8 playlist cannot hold (a byte that is no part of valid UTF-8, see
// platform/utf8.h) becomes "_", returned after the warning about an unsupported character,
// which shows lineAsRead in capital letters.
QChar OemToAnsiChar(const QByteArray& lineAsRead);

// The message for folders that cannot be searched because their names hold a line break.
QString unsearchableFoldersText(const QStringList& folders);

// The folders the batch interpreter said it could not read whole (a disk error part way
// through: their other songs are missing), from what it wrote on standard error; each once.
QStringList partlyReadFolders(const QByteArray& interpreterErrors);
// The one message that names them.
QString partlyReadFoldersText(const QStringList& folders);

// Decodes list-file lines into songs: CR LF, or a lone LF, ends a line; valid UTF-8 is kept as
// it stands, and each invalid byte becomes "_" with a warning (shown by
// warnAboutUnsupportedCharacters, once the list is read, as OemToAnsiChar shows it).
class SongListDecoder {
public:
    explicit SongListDecoder(FoundSongs& songs) : m_songs(songs) {}

    // Decodes every complete line of data (and, atEnd, a last line without its end too).
    // Returns how many bytes were used; the rest waits for more.
    qsizetype decodeLines(const char* data, qsizetype size, bool atEnd);
    // The same for the lines read straight into the songs' own block (FoundSongs::unread):
    // every name stays where it was read, one with invalid bytes written over with its "_".
    // What is left waits there for more.
    void decodeReadLines(bool atEnd);
    void warnAboutUnsupportedCharacters();
    void forgetUnsupported() { m_unsupported.clear(); }

private:
    void decodeLine(const char* data, qsizetype length);
    // Keeps the read line from start to end (where its "\n" lies when ended, else the end of
    // the data) as a song; plain when it holds no byte above 127.
    void keepReadLine(const char* data, qsizetype start, qsizetype end, bool ended, bool plain);
    // A line with invalid bytes into m_line, each as "_", and each noted for its warning.
    void replaceInvalidBytes(const char* data, qsizetype length);

    FoundSongs& m_songs;
    QByteArray m_line;                     // scratch: one line with its invalid bytes replaced
    std::vector<QByteArray> m_unsupported; // the line as read, once per invalid byte
};

// The songs of a list file's bytes, appended to songs, warnings shown.
void decodeSongList(const QByteArray& bytes, QStringList& songs);

// Reads the list file while the interpreter writes it, decoding every line that is complete,
// so that little is left to do when it ends.
class SongListReader {
public:
    SongListReader(QString listFilePath, FoundSongs& songs)
        : m_path(std::move(listFilePath)), m_songs(songs), m_decoder(songs) {}

    // Decodes what is new in the list file; returns the number of songs so far.
    qint64 poll();

    enum class End { Read, Missing, Failed };
    // Reads the rest once the interpreter has ended.
    End finish();
    void warnAboutUnsupportedCharacters() { m_decoder.warnAboutUnsupportedCharacters(); }

private:
    bool readNew(bool mustRead);

    QString m_path;
    FoundSongs& m_songs; // also holds what was read but not yet decoded: the start of a line
                         // still being written
    SongListDecoder m_decoder;
    qint64 m_readUpTo = 0;
};

// The last steps of the search, once the interpreter has ended: reads the rest of the list.
// A missing list (the interpreter never started) is Failed without a message; a list that
// cannot be read shows the read-error message and leaves both files; a list read whole shows
// its warnings, is Listed and both files are deleted.
SearchStatus finishSongList(SongListReader& reader, const QString& batchPath,
                            const QString& listPath);
// The same for a list read in one go, into a plain list (tests, tools).
SearchStatus readSongList(const QString& batchPath, const QString& listPath, QStringList& found);

} // namespace mixgen
