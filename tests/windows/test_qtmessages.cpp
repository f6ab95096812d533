// The message boxes on the screen.
#include "windows/qtmessages.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace mixgen {
namespace {

struct SeenBox {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
};

// Shows one box through the seam; once it is up, records it and lets act answer it.
MsgAnswer showAndAct(const QString& text, MsgIcon icon, MsgButtons buttons, SeenBox& seen,
                     const std::function<void(QMessageBox*)>& act) {
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        seen = {box->windowTitle(), box->text(), box->icon(), box->standardButtons(),
                box->textFormat()};
        act(box);
    });
    return QtMessages().show(QStringLiteral("MP3 Tunepicker"), text, icon, buttons);
}

// A wrong icon for one of the four kinds, or a wrong set of buttons.
TEST(QtMessages, IconsAndButtonSets) {
    SeenBox seen;
    const auto pressOk = [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); };
    const auto pressYes = [](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); };

    EXPECT_EQ(showAndAct("a", MsgIcon::None, MsgButtons::Ok, seen, pressOk), MsgAnswer::Ok);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.caption, "MP3 Tunepicker");

    showAndAct("b", MsgIcon::Information, MsgButtons::Ok, seen, pressOk);
    EXPECT_EQ(seen.icon, QMessageBox::Information);

    EXPECT_EQ(showAndAct("c", MsgIcon::Exclamation, MsgButtons::YesNo, seen, pressYes),
              MsgAnswer::Yes);
    EXPECT_EQ(seen.icon, QMessageBox::Warning);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No);

    EXPECT_EQ(showAndAct("d", MsgIcon::Critical, MsgButtons::YesNoCancel, seen, pressYes),
              MsgAnswer::Yes);
    EXPECT_EQ(seen.icon, QMessageBox::Critical);
    EXPECT_EQ(seen.buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
}

// The button pressed must come back as the answer; a box closed without a button answers
// with the choice that changes nothing.
TEST(QtMessages, ReturnsTheButtonPressed) {
    SeenBox seen;
    EXPECT_EQ(showAndAct("q", MsgIcon::Information, MsgButtons::YesNoCancel, seen,
                         [](QMessageBox* box) { box->button(QMessageBox::No)->click(); }),
              MsgAnswer::No);
    EXPECT_EQ(showAndAct("q", MsgIcon::Information, MsgButtons::YesNoCancel, seen,
                         [](QMessageBox* box) { box->button(QMessageBox::Cancel)->click(); }),
              MsgAnswer::Cancel);
    EXPECT_EQ(showAndAct("q", MsgIcon::Critical, MsgButtons::YesNo, seen,
                         [](QMessageBox* box) { box->reject(); }),
              MsgAnswer::No);
}

// File names with markup characters shown as markup, or CR LF shown as stray glyphs.
TEST(QtMessages, TextIsPlainWithItsLineBreaks) {
    SeenBox seen;
    showAndAct("Cannot <b>read</b> a&b\r\n\r\nnext", MsgIcon::Exclamation, MsgButtons::Ok, seen,
               [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, "Cannot <b>read</b> a&b\n\nnext");
}

// A box shown during the search kept the busy pointer, or the busy pointer was lost after it.
TEST(QtMessages, PlainPointerWhileABoxWaits) {
    QApplication::setOverrideCursor(Qt::BusyCursor);
    SeenBox seen;
    Qt::CursorShape shapeDuringBox = Qt::BusyCursor;
    showAndAct("e", MsgIcon::Information, MsgButtons::Ok, seen, [&](QMessageBox* box) {
        shapeDuringBox = QApplication::overrideCursor()->shape();
        box->button(QMessageBox::Ok)->click();
    });
    ASSERT_NE(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    QApplication::restoreOverrideCursor();
    EXPECT_EQ(shapeDuringBox, Qt::ArrowCursor);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
}

} // namespace
} // namespace mixgen
