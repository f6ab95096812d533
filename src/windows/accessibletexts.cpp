#include "windows/accessibletexts.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QWidget>

namespace mixgen {

namespace {

QString withoutAccessKey(QString caption) {
    caption.replace(QStringLiteral("&&"), QStringLiteral("\x01"));
    caption.remove(u'&');
    caption.replace(u'\x01', u'&');
    return caption;
}

// The controls a reader stops at: captions, labels, text boxes, lists. Frames and the parts
// of a control Qt reads with the control (scroll bars, a list's viewport) are not among them.
bool isControl(const QWidget* widget) {
    if (qobject_cast<const QScrollBar*>(widget))
        return false;
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget) ||
           qobject_cast<const QLineEdit*>(widget) || qobject_cast<const QComboBox*>(widget) ||
           qobject_cast<const QAbstractItemView*>(widget);
}

QString spokenText(QWidget* widget, QAccessible::Text kind) {
    QAccessibleInterface* face = QAccessible::queryAccessibleInterface(widget);
    return face ? face->text(kind).trimmed() : QString();
}

QString label(const QWidget* widget) {
    QString text = QString::fromLatin1(widget->metaObject()->className());
    if (!widget->objectName().isEmpty())
        text += u' ' + widget->objectName();
    if (const auto* button = qobject_cast<const QAbstractButton*>(widget))
        text += QStringLiteral(" \"%1\"").arg(button->text());
    return text;
}

} // namespace

void nameControl(QWidget* control, const QString& name, const QString& description) {
    control->setAccessibleName(name);
    if (!description.isEmpty())
        control->setAccessibleDescription(description);
    else if (!control->toolTip().isEmpty())
        control->setAccessibleDescription(control->toolTip());
    // The text box and the drop-down list of a combo box are read as the box itself.
    if (auto* box = qobject_cast<QComboBox*>(control)) {
        if (box->lineEdit())
            nameControl(box->lineEdit(), name, control->accessibleDescription());
        nameControl(box->view(), name, control->accessibleDescription());
    }
}

void nameAfterLabel(QLabel* label, QWidget* control) {
    QString name = withoutAccessKey(label->text()).trimmed();
    if (name.endsWith(u':'))
        name.chop(1);
    label->setBuddy(control);
    nameControl(control, name);
}

void completeAccessibleTexts(QWidget* window) {
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!isControl(widget) || widget->toolTip().isEmpty())
            continue;
        if (spokenText(widget, QAccessible::Name).isEmpty())
            nameControl(widget, withoutAccessKey(widget->toolTip()));
        else if (spokenText(widget, QAccessible::Description).isEmpty())
            widget->setAccessibleDescription(widget->toolTip());
    }
}

QStringList unnamedControls(QWidget* window) {
    QStringList unnamed;
    const QList<QWidget*> widgets = window->findChildren<QWidget*>();
    for (QWidget* widget : widgets) {
        if (!isControl(widget))
            continue;
        if (spokenText(widget, QAccessible::Name).isEmpty())
            unnamed.append(QStringLiteral("no name: ") + label(widget));
        else if ((widget->focusPolicy() & Qt::TabFocus) &&
                 spokenText(widget, QAccessible::Description).isEmpty())
            unnamed.append(QStringLiteral("no description: ") + label(widget));
    }
    return unnamed;
}

} // namespace mixgen
