#include "windows/qtmessages.h"

#include "windows/accessibletexts.h"
#include "windows/screenplacement.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>

namespace mixgen {

namespace {

QMessageBox::Icon boxIcon(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return QMessageBox::NoIcon;
    case MsgIcon::Information:
        return QMessageBox::Information;
    case MsgIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgIcon::Critical:
        return QMessageBox::Critical;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(MsgButtons buttons) {
    switch (buttons) {
    case MsgButtons::Ok:
        return QMessageBox::Ok;
    case MsgButtons::YesNo:
        return QMessageBox::Yes | QMessageBox::No;
    case MsgButtons::YesNoCancel:
        return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    }
    return QMessageBox::Ok;
}

// What a screen reader calls the box's picture.
QString iconName(MsgIcon icon) {
    switch (icon) {
    case MsgIcon::None:
        return QStringLiteral("No icon");
    case MsgIcon::Information:
        return QStringLiteral("Information");
    case MsgIcon::Exclamation:
        return QStringLiteral("Warning");
    case MsgIcon::Critical:
        return QStringLiteral("Stop");
    }
    return {};
}

} // namespace

MsgAnswer QtMessages::show(const QString& caption, const QString& text, MsgIcon icon,
                           MsgButtons buttons) {
    // The program's texts break lines with CR LF; a label shows a lone CR as a glyph.
    QString shownText = text;
    shownText.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));

    QMessageBox box(boxIcon(icon), caption, shownText, boxButtons(buttons),
                    QApplication::activeWindow());
    // File names may hold "<" and "&": the text is never read as markup.
    box.setTextFormat(Qt::PlainText);
    box.setAccessibleDescription(shownText);
    if (auto* picture = box.findChild<QLabel*>(QStringLiteral("qt_msgboxex_icon_label")))
        nameControl(picture, iconName(icon));
    // Each answer is described by the question it answers.
    for (QAbstractButton* answer : box.buttons())
        answer->setAccessibleDescription(shownText);
    keepOnScreen(&box);
    if (buttons != MsgButtons::Ok)
        box.setDefaultButton(QMessageBox::Yes);
    // A box waits for the user: show the plain pointer even while a search holds the busy one.
    const bool busy = QApplication::overrideCursor() != nullptr;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    box.exec();
    if (busy)
        QApplication::restoreOverrideCursor();

    switch (box.standardButton(box.clickedButton())) {
    case QMessageBox::Ok:
        return MsgAnswer::Ok;
    case QMessageBox::Yes:
        return MsgAnswer::Yes;
    case QMessageBox::No:
        return MsgAnswer::No;
    case QMessageBox::Cancel:
        return MsgAnswer::Cancel;
    default:
        // Closed without a button: the answer that changes nothing.
        return answerThatChangesNothing(buttons);
    }
}

} // namespace mixgen
