#include "windows/frmhelp.h"

#include "app/helptext.h"
#include "app/programexit.h"
#include "platform/appinfo.h"
#include "platform/messages.h"
#include "windows/desktopfit.h"
#include "windows/formstyle.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>

namespace mixgen {

namespace {

constexpr int kMargin = 8;
// The Close button's size in twips.
constexpr int kButtonWidth = 1215;
constexpr int kButtonHeight = 345;

// "Courier New" 9.75 pt when it is installed, else the desktop's monospace family.
QFont helpFont() {
    const QString family = QStringLiteral("Courier New");
    QFont font = QFontDatabase::families().contains(family, Qt::CaseInsensitive) ? QFont(family)
                                                                                 : fixedPitchFont();
    font.setPointSizeF(9.75);
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

} // namespace

QString helpClickMessage() {
    return QStringLiteral("      WHY ARE YOU CLICKING THERE?      \r\n\r\n         ") +
           QLatin1String(kAppTitle) + u' ' + versionText() +
           QStringLiteral("\r\n\r\nTell us what you were looking for: write to the makers of "
                          "MP3 Tunepicker through its project page.");
}

frmHelp::frmHelp() : QDialog(nullptr) {
    initText();
    initButton();
    Form_Load();
    fitToDesktop(this);
    registerWindowUnload(WindowSlot::Help, [this] {
        m_unloading = true;
        close();
    });
}

frmHelp::~frmHelp() {
    registerWindowUnload(WindowSlot::Help, nullptr);
}

void frmHelp::initText() {
    lblText = new QLabel(this);
    lblText->setTextFormat(Qt::PlainText);
    lblText->setFont(helpFont());
    lblText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblText->installEventFilter(this);
}

void frmHelp::initButton() {
    cmdClose =
        makeButton(this, QStringLiteral("&Close"), QStringLiteral("Click to close this screen"),
                   twipsRect(0, 0, kButtonWidth, kButtonHeight));
    cmdClose->setDefault(true);
    connect(cmdClose, &QPushButton::clicked, this, &frmHelp::cmdClose_Click);
}

void frmHelp::Form_Load() {
    setWindowTitle(QLatin1String(kAppTitle));
    QString text = commandLineHelpText();
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    lblText->setText(text);
    fitWindowToText();
}

void frmHelp::fitWindowToText() {
    // The window is as large as the text in its font, with the button below on the right.
    const QSize text = lblText->sizeHint();
    lblText->setGeometry(kMargin, kMargin, text.width(), text.height());
    const QSize button = cmdClose->size();
    const int width = kMargin * 2 + std::max(text.width(), button.width());
    const int height = kMargin * 3 + text.height() + button.height();
    setUpFixedWindow(this, width * kTwipsPerPixel, height * kTwipsPerPixel);
    cmdClose->move(width - kMargin - button.width(), height - kMargin - button.height());
}

void frmHelp::cmdClose_Click() {
    ExitProgram();
}

void frmHelp::lblText_Click() {
    MsgBox(helpClickMessage(), MsgButtons::Ok, MsgIcon::Critical);
}

void frmHelp::closeEvent(QCloseEvent* event) {
    if (m_unloading) {
        event->accept();
        return;
    }
    // Nothing else is left on the screen: closing the window from the desktop is Close.
    event->ignore();
    cmdClose_Click();
}

void frmHelp::reject() {
    // Esc as on any Linux dialog: the same as Close.
    cmdClose_Click();
}

bool frmHelp::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblText && event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        lblText_Click();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace mixgen
