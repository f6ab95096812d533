#include "windows/formstyle.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QPalette>
#include <QPushButton>
#include <QWidget>

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

void setUpFixedWindow(QWidget* window, int widthTwips, int heightTwips) {
    window->setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    window->setFixedSize(twips(widthTwips), twips(heightTwips));
    paintFormBackground(window);
    window->setFont(formFont());
}

QFrame* makeFormFrame(QWidget* parent, const QRect& geometry) {
    auto* frame = new QFrame(parent);
    frame->setFrameStyle(QFrame::Box | QFrame::Sunken);
    frame->setGeometry(geometry);
    paintFormBackground(frame);
    return frame;
}

QPushButton* makeButton(QWidget* parent, const QString& caption, const QString& tip,
                        const QRect& place) {
    auto* button = new QPushButton(caption, parent);
    button->setToolTip(tip);
    button->setGeometry(place);
    return button;
}

void paintFormBackground(QWidget* widget) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, formBackColour());
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
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
