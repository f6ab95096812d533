#pragma once

#include <QStringList>

namespace mixgen {

// Starts the song search of a command-line request before its windows are made, when the run
// is sure to reach its search unasked: a request with its folders, not the loader's, whose
// playlist is new or may be replaced without a question. Otherwise nothing is started, and
// the run goes its usual way. arguments are the program's own, as the main window takes them.
void startSearchAhead(const QStringList& arguments);

} // namespace mixgen
