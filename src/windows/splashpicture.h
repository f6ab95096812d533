#pragma once

#include <QPixmap>

namespace mixgen {

// The splash window's picture, drawn by code: a record and rising notes over an evening sky,
// level bars below, and the program's name.
QPixmap drawSplashPicture();

} // namespace mixgen
