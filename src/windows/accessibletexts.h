#pragma once

#include <QString>
#include <QStringList>

class QLabel;
class QWidget;

// What a screen reader says for each control. Buttons, check boxes and option buttons are read
// by their captions and described by their tooltips, both as they change; the rest is named
// here from the windows' own labels and tooltips.
namespace mixgen {

// Names control (and the text box of an editable combo box) explicitly; description, when
// given, replaces the tooltip as what is read after the name.
void nameControl(QWidget* control, const QString& name, const QString& description = {});

// Names control after label, its caption without "&" and the closing ":", and makes the label
// point at it (the label's access key then moves to it as well).
void nameAfterLabel(QLabel* label, QWidget* control);

// Gives every control of window that has no name yet the one its tooltip gives, so that no
// control is read out as nothing.
void completeAccessibleTexts(QWidget* window);

// The controls of window that a screen reader would read as nothing: an
// entry for each control without a name, and for each one the keyboard reaches without a
// description. Each entry names the control's class and object name or caption.
QStringList unnamedControls(QWidget* window);

} // namespace mixgen
