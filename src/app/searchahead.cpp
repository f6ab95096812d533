#include "app/searchahead.h"

#include "app/commandline.h"
#include "core/numbertext.h"
#include "generate/playlistwriter.h"
#include "generate/songsearch.h"

namespace mixgen {

void startSearchAhead(const QStringList& arguments) {
    const CommandLine request = parseCommandLine(joinCommandLine(arguments));
    if (request.empty || request.help || request.loader || !request.hasPath ||
        request.path.isEmpty() || request.output.isEmpty() ||
        leadingNumericValue(request.number) == 0)
        return;
    // The overwrite question (or "Bad file name.") comes before the search.
    bool badName = false;
    const bool exists = normalFileExists(request.output, &badName);
    if (badName || (exists && !hasSwitch(request.text, QStringLiteral("/Y"))))
        return;
    startSongSearchEarly(request.path);
}

} // namespace mixgen
