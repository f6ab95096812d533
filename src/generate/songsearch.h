#pragma once

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

} // namespace mixgen
