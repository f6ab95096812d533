#include "windows/frmstyle.h"

#include "app/contextmenu.h"
#include "app/stylechoices.h"
#include "core/numbertext.h"
#include "platform/messages.h"
#include "windows/accessibletexts.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"

#include <QCheckBox>
#include <QFrame>
#include <QLineEdit>
#include <QPushButton>

namespace mixgen {

namespace {

// The length a first look at the box offers.
const QString kDefaultMinutes = QStringLiteral("60");

} // namespace

frmStyle::frmStyle() : QDialog(nullptr) {
    initWindow();
    initChoices();
    initButtons();
    fitToDesktop(this);
}

void frmStyle::initWindow() {
    setUpFixedWindow(this, 4575, 2280);
    setWindowTitle(QStringLiteral("Playlist style"));
    Frame1 = makeFormFrame(this, twipsRect(120, 0, 4335, 2220));
}

void frmStyle::initChoices() {
    chkMinutes = makeCheckBox(Frame1, QStringLiteral("Length in minutes:"),
                              QStringLiteral("Check to make playlists of about this many minutes "
                                             "instead of a number of songs (the number still caps "
                                             "them)"),
                              twipsRect(240, 240, 2295, 255));
    txtMinutes = makeTextBox(Frame1, kDefaultMinutes,
                             QStringLiteral("Enter the length of the playlist in minutes (1 to "
                                            "6000)"),
                             twipsRect(2640, 225, 855, 285));
    txtMinutes->setEnabled(false);
    nameControl(txtMinutes, QStringLiteral("Length in minutes"));
    chkBalance = makeCheckBox(Frame1, QStringLiteral("Same chance for every folder (album)"),
                              QStringLiteral("Check to draw a folder first and then a song from "
                                             "it, so that big folders do not fill the playlist"),
                              twipsRect(240, 600, 3975, 255));
    chkExtended = makeCheckBox(Frame1, QStringLiteral("Extended M3U (titles and lengths)"),
                               QStringLiteral("Check to write each song's length, artist and title "
                                              "for the player to show"),
                               twipsRect(240, 960, 3975, 255));
    chkRelative = makeCheckBox(Frame1, QStringLiteral("Paths relative to the playlist"),
                               QStringLiteral("Check to write paths relative to the playlist's "
                                              "folder, so that playlist and music can be copied "
                                              "together"),
                               twipsRect(240, 1320, 3975, 255));
    connect(chkMinutes, &QCheckBox::toggled, this, &frmStyle::chkMinutes_Click);
    connect(txtMinutes, &QLineEdit::textChanged, this, &frmStyle::txtMinutes_Change);
}

void frmStyle::initButtons() {
    cmdSet = makeButton(Frame1, QStringLiteral("&Ok"),
                        QStringLiteral("Save the playlist style and close this screen"),
                        twipsRect(120, 1800, 1335, 300));
    cmdCancel = makeButton(Frame1, QStringLiteral("&Cancel"),
                           QStringLiteral("Close this screen without saving the playlist style"),
                           twipsRect(1560, 1800, 1335, 300));
    cmdSet->setDefault(true);
    connect(cmdSet, &QPushButton::clicked, this, &frmStyle::cmdSet_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmStyle::cmdCancel_Click);
}

void frmStyle::showModal(QWidget* owner) {
    if (owner)
        centreOnOwner(this, owner);
    setWindowModality(Qt::ApplicationModal);
    Form_Activate();
    cmdSet->setFocus();
    exec();
}

void frmStyle::Form_Activate() {
    const PlaylistStyle style = storedStyle();
    chkMinutes->setChecked(style.minutes > 0);
    txtMinutes->setText(style.minutes > 0 ? QString::number(style.minutes) : kDefaultMinutes);
    chkMinutes_Click();
    chkBalance->setChecked(style.balance);
    chkExtended->setChecked(style.extended);
    chkRelative->setChecked(style.relative);
}

void frmStyle::chkMinutes_Click() {
    txtMinutes->setEnabled(chkMinutes->isChecked());
}

void frmStyle::txtMinutes_Change() {
    // Kept between 1 and 6000, written as its whole number, as the number box is.
    const QString text = txtMinutes->text();
    const double value = leadingNumericValue(text);
    QString shaped = QString::number(targetMinutes(text));
    if (value > kMaxTargetMinutes)
        shaped = QString::number(kMaxTargetMinutes);
    else if (targetMinutes(text) < 1)
        shaped = QStringLiteral("1");
    if (shaped != text)
        txtMinutes->setText(shaped);
}

void frmStyle::cmdSet_Click() {
    PlaylistStyle style;
    style.minutes = chkMinutes->isChecked() ? targetMinutes(txtMinutes->text()) : 0;
    style.balance = chkBalance->isChecked();
    style.extended = chkExtended->isChecked();
    style.relative = chkRelative->isChecked();
    saveStyle(style);
    if (storedStyle() != style)
        MsgBox(QStringLiteral("The playlist style cannot be saved."), MsgButtons::Ok,
               MsgIcon::Exclamation);
    // The folder context-menu entries carry the style on their command lines.
    const QStringList problems = carryStyleInEntries();
    if (!problems.isEmpty())
        MsgBox(QStringLiteral("The folder context-menu entries could not all be given the new "
                              "style:\r\n\r\n") +
                   problems.join(QStringLiteral("\r\n")),
               MsgButtons::Ok, MsgIcon::Exclamation);
    hide();
}

void frmStyle::cmdCancel_Click() {
    hide();
}

void frmStyle::reject() {
    // Esc and the close box: Cancel, which saves nothing.
    cmdCancel_Click();
}

} // namespace mixgen
