#pragma once

#include <QString>

namespace mixgen {

// Whether an item dropped on the main window joins the search path list. A folder (symbolic
// links followed) or a volume root does. So does an ordinary, visible file that exists but
// cannot be opened for reading, as the drop has always treated what it could not open. Other
// files, hidden files, missing items, link loops, pipes, sockets and devices do not; pipes and
// devices are never opened, as opening them can block or act on a device.
bool droppedItemCountsAsFolder(const QString& localPath);

} // namespace mixgen
