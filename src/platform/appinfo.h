#pragma once

#include <QString>

// The program's name and version, read by every window, message and file that shows them.
namespace mixgen {

inline constexpr char kAppTitle[] = "MP3 Tunepicker";
// From the build: the project's VERSION in CMakeLists.txt.
inline constexpr int kVersionMajor = MIXGEN_VERSION_MAJOR;
inline constexpr int kVersionMinor = MIXGEN_VERSION_MINOR;
inline constexpr int kVersionRevision = MIXGEN_VERSION_PATCH;

// "v2.2.3": the letter v, then major, minor and revision without leading zeros.
inline QString versionText() {
    return QStringLiteral("v%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

} // namespace mixgen
