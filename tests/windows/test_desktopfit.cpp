// The windows on any desktop: read by a screen reader, legible under light and dark palettes
// and other styles, wholly on the screen.
#include "windows/accessibletexts.h"
#include "windows/formstyle.h"
#include "windows/frmfile.h"
#include "windows/frmfolder.h"
#include "windows/frmhelp.h"
#include "windows/frmmain.h"
#include "windows/frmoptions.h"
#include "windows/frmplaylist.h"
#include "windows/frmsplash.h"
#include "windows/frmstyle.h"
#include "windows/qtmessages.h"
#include "windows/screenplacement.h"
#include "windowstestkit.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QStyle>
#include <QStyleFactory>
#include <QStyleOptionButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <cmath>
#include <iostream>

namespace mixgen {
namespace {

QList<QWidget*> allWindows(frmMain& main, frmStyle& style) {
    return {&main,
            &style,
            &main.playlistWindow(),
            &main.optionsWindow(),
            &main.splashWindow(),
            &main.helpWindow(),
            &main.folderWindow(),
            &main.fileWindow()};
}

QString spokenName(QWidget* widget) {
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

// WCAG's relative luminance and contrast ratio.
double luminance(const QColor& colour) {
    const auto channel = [](double value) {
        return value <= 0.03928 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) +
           0.0722 * channel(colour.blueF());
}
double contrast(const QColor& a, const QColor& b) {
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

QString captionText(QWidget* control) {
    if (auto* label = qobject_cast<QLabel*>(control))
        return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control))
        return button->text();
    return {};
}

// The colour the style draws a caption's text in, as rendered: of the pixels where the text
// stands (beside a check box's or option button's mark), the one that stands out most from
// the windows' blue.
QColor ink(QWidget* control) {
    const QImage image = control->grab().toImage();
    int left = 0;
    if (qobject_cast<QCheckBox*>(control))
        left = control->style()->pixelMetric(QStyle::PM_IndicatorWidth, nullptr, control) +
               control->style()->pixelMetric(QStyle::PM_CheckBoxLabelSpacing, nullptr, control);
    else if (qobject_cast<QRadioButton*>(control))
        left = control->style()->pixelMetric(QStyle::PM_ExclusiveIndicatorWidth, nullptr, control) +
               control->style()->pixelMetric(QStyle::PM_RadioButtonLabelSpacing, nullptr, control);
    left = left * image.width() / std::max(1, control->width());
    QColor most = formBackColour();
    for (int y = 0; y < image.height(); ++y)
        for (int x = left; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            if (contrast(pixel, formBackColour()) > contrast(most, formBackColour()))
                most = pixel;
        }
    return most;
}

QPalette darkPalette() {
    QPalette dark(QColor(53, 53, 53), QColor(42, 42, 42));
    dark.setColor(QPalette::WindowText, Qt::white);
    dark.setColor(QPalette::Text, Qt::white);
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::Disabled, QPalette::WindowText, QColor(110, 110, 110));
    dark.setColor(QPalette::Light, QColor(75, 75, 75));
    dark.setColor(QPalette::Dark, QColor(35, 35, 35));
    return dark;
}

// Catches a control a screen reader reads as nothing (an empty path box, two "Browse..."
// buttons alike, "??" read literally) in any of the seven windows.
TEST(DesktopFit, EveryControlHasANameAndADescription) {
    frmMain main;
    frmStyle playlistStyle;
    // As its callers do before they show it.
    main.fileWindow().cmdSet->setToolTip(QStringLiteral("Save playlist"));
    for (QWidget* window : allWindows(main, playlistStyle))
        EXPECT_EQ(unnamedControls(window), QStringList()) << window->windowTitle().toStdString();

    EXPECT_EQ(spokenName(main.cmdHelp), "About");
    EXPECT_NE(spokenName(main.cmdBrowsePath), spokenName(main.cmdBrowseOutput));
    EXPECT_TRUE(spokenName(main.cmdBrowseOutput).contains("output file"));
    EXPECT_TRUE(spokenName(main.optionsWindow().cmdBrowse).contains("Winamp"));
    EXPECT_EQ(spokenName(main.txtNumber), "Number of songs");
    EXPECT_TRUE(spokenName(main.cboPath->lineEdit()).startsWith("Path(s) to search"));
    // A caption changed at run time is read as it is now.
    main.playlistWindow().cmdOpen->setText(QStringLiteral("&Play playlist"));
    EXPECT_EQ(spokenName(main.playlistWindow().cmdOpen), "Play playlist");
}

// Catches a message box whose picture is read as nothing.
TEST(DesktopFit, MessageBoxesAreNamedToo) {
    QStringList unnamed{QStringLiteral("never shown")};
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        unnamed = unnamedControls(box);
        box->button(QMessageBox::No)->click();
    });
    QtMessages().show(QStringLiteral("MP3 Tunepicker"), QStringLiteral("Go there now?"),
                      MsgIcon::Critical, MsgButtons::YesNo);
    EXPECT_EQ(unnamed, QStringList());
}

// Catches text that the desktop's palette makes unreadable on the windows' blue (light text
// of a dark palette, grey disabled captions), disabled captions that look enabled, and
// captions cut off by a style wider than the windows were laid out for.
TEST(DesktopFit, CaptionsLegibleAndWholeUnderStylesAndPalettes) {
    struct Look {
        const char* style;
        bool dark;
    };
    const QStringList styles = QStyleFactory::keys();
    QList<Look> looks = {{"Fusion", false}, {"Fusion", true}};
    if (styles.contains("Adwaita", Qt::CaseInsensitive))
        looks += {{"Adwaita", false}, {"Adwaita-Dark", true}};
    else
        std::cout << "Adwaita style not installed: checked under Fusion only\n";
    const QPalette original = QApplication::palette();

    for (const Look& look : looks) {
        QStyle* style = QStyleFactory::create(QLatin1String(look.style));
        if (!style)
            continue;
        QApplication::setStyle(style);
        const bool ownDark = QByteArray(look.style).endsWith("Dark");
        QApplication::setPalette(look.dark && !ownDark ? darkPalette() : style->standardPalette());
        const std::string where = std::string(look.style) + (look.dark ? " dark" : " light");
        frmMain main;
        frmStyle playlistStyle;
        for (QWidget* window : allWindows(main, playlistStyle)) {
            QHash<QByteArray, QColor> enabledInk;
            QList<QWidget*> disabled;
            for (QWidget* control : window->findChildren<QWidget*>()) {
                const bool caption =
                    qobject_cast<QLabel*>(control) || qobject_cast<QAbstractButton*>(control);
                if (!caption)
                    continue;
                EXPECT_FALSE(captionClipped(control))
                    << where << ": " << control->metaObject()->className() << " "
                    << (qobject_cast<QLabel*>(control)
                            ? qobject_cast<QLabel*>(control)->text().toStdString()
                            : qobject_cast<QAbstractButton*>(control)->text().toStdString())
                    << " " << control->width() << "x" << control->height() << " hfw "
                    << control->heightForWidth(control->width()) << " parent "
                    << control->parentWidget()->contentsRect().height() << " y " << control->y();
                if (control->palette().color(QPalette::Window) != formBackColour() ||
                    qobject_cast<QPushButton*>(control) || captionText(control).isEmpty())
                    continue;
                const QString what = QString::fromStdString(where) + ": " + captionText(control);
                const QColor drawn = ink(control);
                const double minimum = control->isEnabled() ? 4.5 : 3.0;
                EXPECT_GE(contrast(drawn, formBackColour()), minimum) << what.toStdString();
                // A disabled caption against an enabled one of its kind in its window.
                const char* kind = control->metaObject()->className();
                if (control->isEnabled())
                    enabledInk.insert(kind, drawn);
                else
                    disabled.append(control);
            }
            for (QWidget* control : disabled)
                EXPECT_GE(contrast(ink(control),
                                   enabledInk.value(control->metaObject()->className(), Qt::black)),
                          1.5)
                    << where << ": " << captionText(control).toStdString() << " looks enabled";
        }
    }
    QApplication::setPalette(original);
}

// Catches the marks of check boxes and option buttons in neighbouring rows drawn over each
// other by a style whose marks are taller than the rows the windows were laid out for
// (Adwaita's are 22 pixels, the rows 16 apart).
TEST(DesktopFit, MarksOfNeighbouringRowsDoNotOverlap) {
    if (!QStyleFactory::keys().contains("Adwaita-Dark", Qt::CaseInsensitive))
        GTEST_SKIP() << "Adwaita style not installed";
    const QString before = QApplication::style()->name();
    QApplication::setStyle(QStringLiteral("Adwaita-Dark"));
    frmMain main;
    frmStyle playlistStyle;
    for (QWidget* window : allWindows(main, playlistStyle)) {
        QList<QPair<QRect, QString>> marks;
        for (QAbstractButton* button : window->findChildren<QAbstractButton*>()) {
            const bool option = qobject_cast<QRadioButton*>(button);
            if (!option && !qobject_cast<QCheckBox*>(button))
                continue;
            QStyleOptionButton look;
            look.initFrom(button);
            const QRect mark = button->style()->subElementRect(
                option ? QStyle::SE_RadioButtonIndicator : QStyle::SE_CheckBoxIndicator, &look,
                button);
            marks.append(
                {QRect(button->mapTo(window, mark.topLeft()), mark.size()), button->text()});
        }
        for (qsizetype i = 0; i < marks.size(); ++i)
            for (qsizetype j = i + 1; j < marks.size(); ++j)
                EXPECT_FALSE(marks[i].first.intersects(marks[j].first))
                    << marks[i].second.toStdString() << " and " << marks[j].second.toStdString();
    }
    QApplication::setStyle(before);
}

// Catches a caption cut at its frame's edge by a style whose mark is wider than the windows were
// laid out for, while there is free room on its left, and a caption moved over the control beside
// it.
TEST(DesktopFit, CaptionMovesLeftRatherThanBeCut) {
    QWidget frame;
    auto* alone =
        new QCheckBox(QStringLiteral("Internal dialogs only (when Browse failes)"), &frame);
    auto* label = new QLabel(QStringLiteral("Name:"), &frame);
    auto* beside = new QCheckBox(QStringLiteral("A caption beside a label"), &frame);
    const int wide = std::max(alone->sizeHint().width(), beside->sizeHint().width());
    const int labelWidth = label->sizeHint().width();
    frame.resize(wide + 10, 80);
    alone->setGeometry(16, 4, wide - 8, 24);
    label->setGeometry(0, 40, labelWidth, 24);
    beside->setGeometry(labelWidth + 16, 40, wide - 8, 24);
    fitCaptions(&frame);
    EXPECT_FALSE(captionClipped(alone)) << alone->geometry().x() << " " << alone->width();
    EXPECT_LE(alone->geometry().right(), frame.contentsRect().right());
    EXPECT_GE(beside->x(), label->geometry().right() + 1);
}

// How plainly a control shows that it has the keyboard focus: the largest contrast between
// a pixel of it with the focus and the same pixel without.
double focusMark(QWidget* window, QWidget* control, QWidget* elsewhere) {
    // The control and a few pixels round it, where a focus ring may stand.
    const QRect around(control->mapTo(window, QPoint(-4, -4)), control->size() + QSize(8, 8));
    elsewhere->setFocus(Qt::TabFocusReason);
    const QImage without = window->grab(around).toImage();
    control->setFocus(Qt::TabFocusReason);
    const QImage with = window->grab(around).toImage();
    double most = 1.0;
    for (int y = 0; y < with.height(); ++y)
        for (int x = 0; x < with.width(); ++x)
            most = std::max(most, contrast(with.pixelColor(x, y), without.pixelColor(x, y)));
    return most;
}

// Catches a control whose focus mark cannot be told from the windows' blue, so that a
// keyboard user cannot see where the focus is.
TEST(DesktopFit, KeyboardFocusShows) {
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QApplication::setPalette(QApplication::style()->standardPalette());
    frmMain main;
    for (QWidget* window :
         {static_cast<QWidget*>(&main), static_cast<QWidget*>(&main.optionsWindow())}) {
        window->show();
        QApplication::setActiveWindow(window);
        // As after a Tab key: the styles mark the focus for keyboard users.
        window->setAttribute(Qt::WA_KeyboardFocusChange);
        QList<QWidget*> reached;
        for (QWidget* control : window->findChildren<QWidget*>())
            if ((control->focusPolicy() & Qt::TabFocus) && control->isEnabled() &&
                control->isVisibleTo(window) && !control->focusProxy() &&
                !qobject_cast<QComboBox*>(control->parentWidget()))
                reached.append(control);
        ASSERT_GE(reached.size(), 5);
        for (qsizetype i = 0; i < reached.size(); ++i) {
            QWidget* control = reached[i];
            EXPECT_GE(focusMark(window, control, reached[(i + 1) % reached.size()]), 1.5)
                << window->windowTitle().toStdString() << " " << control->metaObject()->className()
                << " " << captionText(control).toStdString() << " "
                << control->accessibleName().toStdString();
        }
        window->hide();
    }
}

// Catches windows opened partly off the screen, as the options window at twice the scale
// on a screen narrower than it.
TEST(DesktopFit, WindowsOpenWhollyOnTheScreen) {
    const QRect area(0, 30, 1280, 994);
    EXPECT_EQ(placeInside(QRect(100, 100, 694, 309), area), QPoint(100, 100));
    EXPECT_EQ(placeInside(QRect(-74, 500, 694, 600), area), QPoint(0, 424));
    EXPECT_EQ(placeInside(QRect(900, 0, 694, 309), area), QPoint(586, 30));
    EXPECT_EQ(placeInside(QRect(-74, 100, 1388, 618), area), QPoint(0, 30));
    EXPECT_EQ(placeInside(QRect(10, 10, 100, 1000), area), QPoint(0, 30));

    frmMain main;
    const QRect screen = QApplication::primaryScreen()->availableGeometry();
    for (QWidget* window : {static_cast<QWidget*>(&main.optionsWindow()),
                            static_cast<QWidget*>(&main.helpWindow())}) {
        window->move(screen.left() - 74, screen.bottom() - 20);
        window->show();
        EXPECT_TRUE(screen.contains(window->frameGeometry()))
            << window->windowTitle().toStdString();
        window->hide();
    }
}

} // namespace
} // namespace mixgen
