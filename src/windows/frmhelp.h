#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace mixgen {

// The help window: the command-line switches in a fixed-pitch font, shown instead of the main
// window when the command line holds "?". Closing it ends the program.
class frmHelp final : public QDialog {
    Q_OBJECT

public:
    frmHelp();
    ~frmHelp() override;

    QLabel* lblText = nullptr;
    QPushButton* cmdClose = nullptr;

public slots:
    void Form_Load();
    void cmdClose_Click();
    void lblText_Click();

protected:
    void closeEvent(QCloseEvent* event) override;
    void reject() override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void initText();
    void initButton();
    void fitWindowToText();

    bool m_unloading = false;
};

// The hidden message of a click on the help text.
QString helpClickMessage();

} // namespace mixgen
