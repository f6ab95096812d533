#pragma once

#include <QStringList>

namespace mixgen {

// Starts argv[0] with the rest as arguments, without waiting. When it cannot be started, an
// exclamation box names the program and the reason, and the result is false.
bool startProgramOrReport(const QStringList& argv);

} // namespace mixgen
