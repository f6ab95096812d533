#pragma once

class QWidget;

namespace mixgen {

// What each window does, once its controls exist, to serve every desktop: a name for every
// control a screen reader meets, captions wide enough for the style in use, and a place wholly
// on the screen whenever it opens. A new window calls it at the end of its constructor.
void fitToDesktop(QWidget* window);

} // namespace mixgen
