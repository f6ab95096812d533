#include "windows/desktopfit.h"

#include "windows/accessibletexts.h"
#include "windows/formstyle.h"
#include "windows/screenplacement.h"

#include <QAbstractItemView>
#include <QEvent>
#include <QFocusFrame>

namespace mixgen {

namespace {

// Lists show that they have the focus by little more than a shade of their edge in many
// styles: one ring in the windows' text colour goes round the list that has it.
class ListFocusRing final : public QObject {
public:
    explicit ListFocusRing(QWidget* window) : QObject(window), m_ring(new QFocusFrame(window)) {
        m_ring->hide();
        for (QAbstractItemView* list : window->findChildren<QAbstractItemView*>())
            if (list->focusPolicy() & Qt::TabFocus)
                list->installEventFilter(this);
    }

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::FocusIn)
            m_ring->setWidget(static_cast<QWidget*>(watched));
        else if (event->type() == QEvent::FocusOut && m_ring->widget() == watched)
            m_ring->setWidget(nullptr);
        return false;
    }

private:
    QFocusFrame* m_ring;
};

} // namespace

void fitToDesktop(QWidget* window) {
    completeAccessibleTexts(window);
    colourMarkedCaptions(window);
    fitCaptions(window);
    keepOnScreen(window);
    new ListFocusRing(window);
}

} // namespace mixgen
