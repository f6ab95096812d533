#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

// Every window opens wholly on its screen, whatever the scale of the desktop.
namespace mixgen {

// Where a window's frame goes so that it lies wholly inside area, moved as little as it must;
// a frame wider or taller than area goes to area's top left corner.
QPoint placeInside(const QRect& frame, const QRect& area);

// Moves window, each time it is shown, wholly inside the available area (without panels) of
// the screen it opens on.
void keepOnScreen(QWidget* window);

} // namespace mixgen
