#pragma once

#include <QColor>
#include <QFont>
#include <QRect>

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QString;
class QWidget;

// What the program's windows share in looks: their sizes are laid out in twips, and they
// wear one background colour and a small set of fonts.
namespace mixgen {

// 15 twips make one pixel.
inline constexpr int kTwipsPerPixel = 15;

inline constexpr int twips(int value) {
    return value / kTwipsPerPixel;
}

// A rectangle given as left, top, width and height in twips.
inline QRect twipsRect(int left, int top, int width, int height) {
    return {twips(left), twips(top), twips(width), twips(height)};
}

// The windows' own blue (red 83, green 162, blue 225).
inline QColor formBackColour() {
    return {83, 162, 225};
}

// The text on the windows' blue, whatever the desktop's palette: black when enabled (7.6:1),
// a dark navy when disabled (4.1:1, still plainly unlike the black).
inline QColor formTextColour() {
    return {0, 0, 0};
}
inline QColor formDisabledTextColour() {
    return {30, 60, 90};
}

// Fills widget with the windows' background colour, and fixes what is drawn on it (text,
// frame edges, the focus mark) to colours that stay legible on that blue under a light or a
// dark desktop palette. The other roles (buttons, text boxes, lists) follow the desktop.
void paintFormBackground(QWidget* widget);

// Widens (and heightens) each caption of window that the style in use needs more room for
// than the design gives it, as far as its container allows, so that no caption is cut off.
void fitCaptions(QWidget* window);

// Some styles (Adwaita) draw the captions of check boxes and option buttons in the text
// colour of text boxes, white under a dark palette: on the windows' blue those captions take
// the windows' text colours instead.
void colourMarkedCaptions(QWidget* window);

// True when the style in use needs more room than control has to show its caption whole.
bool captionClipped(const QWidget* control);

// Makes window a fixed-size top-level window of the given client size in twips, in the
// windows' colour and font, with the keyboard roles of a dialog.
void setUpFixedWindow(QWidget* window, int widthTwips, int heightTwips);

// Makes window (a dialog owned without being a child) belong to owner's window for the window
// system, and places it over the middle of that window.
void centreOnOwner(QWidget* window, QWidget* owner);

// The sunken frame that holds a window's controls, placed in twips.
QFrame* makeFormFrame(QWidget* parent, const QRect& geometry);

// A button with its caption, tooltip and place in its parent.
QPushButton* makeButton(QWidget* parent, const QString& caption, const QString& tip,
                        const QRect& place);

// A check box or option button at its place. Its mark takes more room here than the design's
// did, so it may reach further right, within its parent, to show the whole caption.
QCheckBox* makeCheckBox(QWidget* parent, const QString& caption, const QString& tip,
                        const QRect& place);
QRadioButton* makeOption(QWidget* parent, const QString& caption, const QString& tip,
                         const QRect& place);

// A text box with its text, tooltip and place.
QLineEdit* makeTextBox(QWidget* parent, const QString& text, const QString& tip,
                       const QRect& place);

// Tahoma 8.25 pt when it is installed, else the desktop's sans family at that size.
QFont formFont();

// The desktop's monospace font when its characters all have one width, else the first
// installed family whose do (fontconfig does not count Noto Sans Mono, a common default, as
// fixed-pitch: its symbols are wider).
QFont fixedPitchFont();

// "Terminal" at pointSize when it is installed, else the desktop's monospace family.
QFont terminalFont(double pointSize, bool bold = false);

} // namespace mixgen
