#include "windows/screenplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QObject>
#include <QScreen>
#include <QWidget>

#include <algorithm>

namespace mixgen {

namespace {

// Watches one window's show events; a child of the window, so it goes with it.
class ScreenKeeper final : public QObject {
public:
    explicit ScreenKeeper(QWidget* window) : QObject(window), m_window(window) {
        window->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        // Sent before the window appears, after a dialog has been centred on its owner.
        if (watched == m_window && event->type() == QEvent::Show && !event->spontaneous())
            place();
        return false;
    }

private:
    void place() {
        const QRect frame = m_window->frameGeometry();
        QScreen* screen = QGuiApplication::screenAt(frame.center());
        if (!screen)
            screen = m_window->screen();
        if (!screen)
            return;
        const QRect area = screen->availableGeometry();
        const QPoint corner = placeInside(frame, area);
        // A window too big for the area is put in its corner even where it already stands:
        // one never placed would otherwise be placed by the desktop, off the screen's edges.
        const bool fits = frame.width() <= area.width() && frame.height() <= area.height();
        if (corner != frame.topLeft() || !fits)
            m_window->move(corner);
    }

    QWidget* m_window;
};

} // namespace

QPoint placeInside(const QRect& frame, const QRect& area) {
    if (frame.width() > area.width() || frame.height() > area.height())
        return area.topLeft();
    return {std::clamp(frame.left(), area.left(), area.right() + 1 - frame.width()),
            std::clamp(frame.top(), area.top(), area.bottom() + 1 - frame.height())};
}

void keepOnScreen(QWidget* window) {
    new ScreenKeeper(window);
}

} // namespace mixgen
