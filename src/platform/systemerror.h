#pragma once

#include <QString>

#include <cstring>

namespace mixgen {

// The system's words for an errno value, as messages quote them.
inline QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace mixgen
