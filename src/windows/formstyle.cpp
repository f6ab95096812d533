#include "windows/formstyle.h"

#include <algorithm>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPointer>
#include <QProxyStyle>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QWidget>
#include <QWindow>
#include <qdrawutil.h>

namespace mixgen {

namespace {

QFont namedOrSystemFont(const QString& family, QFontDatabase::SystemFont fallback,
                        double pointSize) {
    QFont font = QFontDatabase::families().contains(family, Qt::CaseInsensitive)
                     ? QFont(family)
                     : QFontDatabase::systemFont(fallback);
    font.setPointSizeF(pointSize);
    return font;
}

} // namespace

void centreOnOwner(QWidget* window, QWidget* owner) {
    window->winId(); // its native window, so that it can be owned
    QWidget* ownerWindow = owner->window();
    ownerWindow->winId();
    if (window->windowHandle() && ownerWindow->windowHandle())
        window->windowHandle()->setTransientParent(ownerWindow->windowHandle());
    window->move(ownerWindow->frameGeometry().center() -
                 QPoint(window->width() / 2, window->height() / 2));
}

void setUpFixedWindow(QWidget* window, int widthTwips, int heightTwips) {
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(twips(widthTwips), twips(heightTwips));
    paintFormBackground(window);
    window->setFont(formFont());
}

namespace {

// A frame that draws its own sunken edge from its palette: some styles (Adwaita) draw a box
// frame in colours of their own, which vanish on the windows' blue.
class FormFrame final : public QFrame {
public:
    using QFrame::QFrame;

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        qDrawShadeRect(&painter, rect(), palette(), true, 1);
    }
};

} // namespace

QFrame* makeFormFrame(QWidget* parent, const QRect& geometry) {
    auto* frame = new FormFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(geometry);
    paintFormBackground(frame);
    return frame;
}

namespace {

// The tallest mark (of a check box or an option button) that fits between two rows of
// options, which lie 16 pixels apart.
constexpr int kMostMarkPixels = 16;

bool isMarkMetric(QStyle::PixelMetric metric) {
    return metric == QStyle::PM_IndicatorWidth || metric == QStyle::PM_IndicatorHeight ||
           metric == QStyle::PM_ExclusiveIndicatorWidth ||
           metric == QStyle::PM_ExclusiveIndicatorHeight;
}

// The application's style with its marks kept within a row: some styles (Adwaita) draw marks
// of 22 pixels, and two such marks in neighbouring rows would overlap.
class RowSizedMarks final : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override {
        const int size = QProxyStyle::pixelMetric(metric, option, widget);
        return isMarkMetric(metric) ? std::min(size, kMostMarkPixels) : size;
    }
};

// The style a marked button is drawn with: the application's own, unless its marks are too
// tall for a row; then the same style with smaller marks (one, made anew when the
// application's style changes).
QStyle* markedButtonStyle() {
    static QPointer<QStyle> rowSized;
    static QStyle* rowSizedFor = nullptr;
    QStyle* style = QApplication::style();
    // Only a style the factory knows by name can be made again with smaller marks.
    if (style->name().isEmpty())
        return nullptr;
    const bool tooTall = style->pixelMetric(QStyle::PM_IndicatorHeight) > kMostMarkPixels ||
                         style->pixelMetric(QStyle::PM_ExclusiveIndicatorHeight) > kMostMarkPixels;
    if (!tooTall)
        return nullptr;
    if (!rowSized || rowSizedFor != style) {
        // One made for an earlier style stays with the buttons drawn with it.
        rowSized = new RowSizedMarks(style->name());
        rowSized->setParent(qApp); // let go of with the application
        rowSizedFor = style;
    }
    return rowSized;
}

template <typename Button>
Button* makeMarkedButton(QWidget* parent, const QString& caption, const QString& tip,
                         const QRect& place) {
    auto* button = new Button(caption, parent);
    if (QStyle* style = markedButtonStyle())
        button->setStyle(style);
    button->setToolTip(tip);
    button->setFont(parent->font());
    QRect shown = place;
    const int room = parent->width() - place.left() - 2;
    shown.setWidth(std::max(place.width(), std::min(button->sizeHint().width(), room)));
    button->setGeometry(shown);
    return button;
}

// A control with its text and tip at its place, as the form's table gives it.
template <typename Control>
Control* makePlaced(QWidget* parent, const QString& text, const QString& tip, const QRect& place) {
    auto* control = new Control(text, parent);
    control->setToolTip(tip);
    control->setGeometry(place);
    return control;
}

} // namespace

QCheckBox* makeCheckBox(QWidget* parent, const QString& caption, const QString& tip,
                        const QRect& place) {
    return makeMarkedButton<QCheckBox>(parent, caption, tip, place);
}

QRadioButton* makeOption(QWidget* parent, const QString& caption, const QString& tip,
                         const QRect& place) {
    return makeMarkedButton<QRadioButton>(parent, caption, tip, place);
}

QLineEdit* makeTextBox(QWidget* parent, const QString& text, const QString& tip,
                       const QRect& place) {
    return makePlaced<QLineEdit>(parent, text, tip, place);
}

QPushButton* makeButton(QWidget* parent, const QString& caption, const QString& tip,
                        const QRect& place) {
    return makePlaced<QPushButton>(parent, caption, tip, place);
}

void paintFormBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, formBackColour());
    for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        palette.setColor(group, QPalette::WindowText, formTextColour());
        palette.setColor(group, QPalette::PlaceholderText, formDisabledTextColour());
    }
    palette.setColor(QPalette::Disabled, QPalette::WindowText, formDisabledTextColour());
    // The frames' edges: a dark navy (5.4:1) and a pale blue, both plain on the blue.
    palette.setColor(QPalette::Light, QColor(214, 236, 252));
    palette.setColor(QPalette::Midlight, QColor(160, 205, 240));
    palette.setColor(QPalette::Mid, QColor(40, 80, 112));
    palette.setColor(QPalette::Dark, QColor(20, 40, 60));
    palette.setColor(QPalette::Shadow, QColor(0, 0, 0));
    // The focus mark and selections: a navy that stands out on the blue (4.8:1).
    palette.setColor(QPalette::Highlight, QColor(0, 48, 96));
    palette.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

namespace {

// The room a control needs for its caption in the style in use; empty for controls without
// a caption of their own.
QSize neededRoom(const QWidget* control) {
    if (const auto* button = qobject_cast<const QPushButton*>(control)) {
        // A push button's hint holds a minimum width of the style's; the caption needs only
        // its own width and the button's margins.
        if (button->text().isEmpty())
            return {};
        const int margin = button->style()->pixelMetric(QStyle::PM_ButtonMargin, nullptr, button);
        const QSize text = button->fontMetrics().size(Qt::TextShowMnemonic, button->text());
        return {text.width() + 2 * margin, text.height()};
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(control)) {
        // A mark and its caption side by side: the hint's width, the taller of the two (the
        // hint's height holds room for a focus frame the caption does not need).
        const QStyle::PixelMetric mark = qobject_cast<const QRadioButton*>(control)
                                             ? QStyle::PM_ExclusiveIndicatorHeight
                                             : QStyle::PM_IndicatorHeight;
        return {control->sizeHint().width(),
                std::max(button->style()->pixelMetric(mark, nullptr, button),
                         button->fontMetrics().height())};
    }
    if (const auto* label = qobject_cast<const QLabel*>(control)) {
        if (label->text().isEmpty())
            return {};
        if (label->wordWrap())
            return {0, label->heightForWidth(label->width())};
        return label->fontMetrics().size(0, label->text());
    }
    return {};
}

// The leftmost x a control may move to: its container's edge, or the right edge of the
// nearest control on its left that shares some of its rows.
int freeLeftEdge(const QWidget* control, const QRect& room) {
    const QRect place = control->geometry();
    int edge = room.left();
    for (const QObject* child : control->parentWidget()->children()) {
        const auto* sibling = qobject_cast<const QWidget*>(child);
        if (!sibling || sibling == control || sibling->isWindow())
            continue;
        const QRect other = sibling->geometry();
        if (other.right() < place.left() && other.top() <= place.bottom() &&
            other.bottom() >= place.top())
            edge = std::max(edge, other.right() + 1);
    }
    return edge;
}

} // namespace

void colourMarkedCaptions(QWidget* window) {
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* control : widgets) {
        if (!qobject_cast<QCheckBox*>(control) && !qobject_cast<QRadioButton*>(control))
            continue;
        QPalette palette = control->palette();
        if (palette.color(QPalette::Window) != formBackColour())
            continue;
        for (const QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, QPalette::Text, formTextColour());
        palette.setColor(QPalette::Disabled, QPalette::Text, formDisabledTextColour());
        control->setPalette(palette);
    }
}

bool captionClipped(const QWidget* control) {
    const QSize needed = neededRoom(control);
    return needed.width() > control->width() || needed.height() > control->height();
}

void fitCaptions(QWidget* window) {
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* control : widgets) {
        const QSize needed = neededRoom(control);
        QWidget* container = control->parentWidget();
        if (!needed.isValid() || !container || !captionClipped(control))
            continue;
        QRect place = control->geometry();
        const QRect room = container->contentsRect();
        const auto* note = qobject_cast<const QLabel*>(control);
        if (note && note->wordWrap()) {
            // A note of several lines takes the width it may have, then the lines it needs.
            place.setRight(room.right() - 1);
            place.setHeight(std::max(place.height(), note->heightForWidth(place.width())));
            place.setBottom(std::min(place.bottom(), room.bottom()));
            control->setGeometry(place);
            continue;
        }
        const int roomEnd = room.right() + 1;
        if (place.left() + needed.width() > roomEnd)
            // A caption wider than the room to its right moves left into free room before it
            // is cut: a style's wider mark must not cost the caption's last letters.
            place.moveLeft(std::max(freeLeftEdge(control, room), roomEnd - needed.width()));
        place.setWidth(std::max(place.width(), std::min(needed.width(), roomEnd - place.left())));
        if (needed.height() > place.height()) {
            // Grown about its middle, so it stays on its row.
            const int grow = needed.height() - place.height();
            place.adjust(0, -grow / 2, 0, grow - grow / 2);
        }
        control->setGeometry(place);
    }
}

QFont formFont() {
    return namedOrSystemFont(QStringLiteral("Tahoma"), QFontDatabase::GeneralFont, 8.25);
}

QFont fixedPitchFont() {
    const QFont desktop = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (QFontInfo(desktop).fixedPitch())
        return desktop;
    for (const QString& family : QFontDatabase::families()) {
        const QFont candidate(family);
        if (QFontDatabase::isFixedPitch(family) && QFontInfo(candidate).fixedPitch() &&
            !QFontDatabase::isPrivateFamily(family))
            return candidate;
    }
    return desktop;
}

QFont terminalFont(double pointSize, bool bold) {
    QFont font = namedOrSystemFont(QStringLiteral("Terminal"), QFontDatabase::FixedFont, pointSize);
    font.setBold(bold);
    return font;
}

} // namespace mixgen
