#pragma once

#include <QString>

// The program's name and version, read by every window, message and file that shows them.
namespace mixgen {

inline constexpr char kAppTitle[] = "MP3 Tunepicker";
inline constexpr int kVersionMajor = 2;
inline constexpr int kVersionMinor = 2;
inline constexpr int kVersionRevision = 3;

// "v2.2.3": the letter v, then major, minor and revision without leading zeros.
inline QString versionText() {
    return QStringLiteral("v%1.%2.%3").arg(kVersionMajor).arg(kVersionMinor).arg(kVersionRevision);
}

} // namespace mixgen
