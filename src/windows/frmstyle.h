#pragma once

#include <QDialog>

class QCheckBox;
class QFrame;
class QLineEdit;
class QPushButton;

namespace mixgen {

// The "Playlist style" window, reached from the options window: a playlist of a length in
// minutes, a fair share for every folder, extended entries and relative paths. Every
// activation loads the stored choices; Ok stores them (and writes them into the folder
// context-menu entries), Cancel only hides the window.
class frmStyle final : public QDialog {
    Q_OBJECT

public:
    frmStyle();

    // Shows the window modally, centred on owner, and returns once it is hidden again.
    void showModal(QWidget* owner);

    QFrame* Frame1 = nullptr;
    QCheckBox* chkMinutes = nullptr;
    QLineEdit* txtMinutes = nullptr;
    QCheckBox* chkBalance = nullptr;
    QCheckBox* chkExtended = nullptr;
    QCheckBox* chkRelative = nullptr;
    QPushButton* cmdSet = nullptr;
    QPushButton* cmdCancel = nullptr;

public slots:
    void Form_Activate();
    void cmdSet_Click();
    void cmdCancel_Click();
    void chkMinutes_Click();
    void txtMinutes_Change();

protected:
    void reject() override;

private:
    void initWindow();
    void initChoices();
    void initButtons();
};

} // namespace mixgen
