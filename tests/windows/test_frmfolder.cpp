// The folder picker: where it opens, what "Add path" does to the path box, its keys, a drive
// that went away, and its close box.
#include "pickertestkit.h"
#include "scriptedmessages.h"
#include "windows/frmfolder.h"
#include "windows/frmmain.h"
#include "windows/pickerlists.h"
#include "windowstestkit.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

using test::ScriptedMessages;

class FrmFolderTest : public ::testing::Test {
protected:
    FrmFolderTest() {
        QDir().mkpath(music());
        QDir().mkpath(dir.filePath("Music/Rock"));
        QDir().mkpath(dir.filePath("Music/.cache"));
        QDir().mkpath(dir.filePath("Music/ambient"));
        picker.setTag(QStringLiteral("1"));
    }
    QString music() const { return dir.filePath("Music"); }
    QString pathAfterAdding(const QString& before, const QString& chosen) {
        main.cboPath->setEditText(before);
        picker.txtPath->setText(chosen);
        picker.cmdSet_Click();
        return main.cboPath->currentText();
    }
    QStringList folderRows() const {
        QStringList rows;
        for (int row = 0; row < picker.Dir1->model()->rowCount(); ++row)
            rows.append(picker.Dir1->model()->index(row, 0).data().toString());
        return rows;
    }

    QTemporaryDir dir;
    ScriptedMessages messages;
    frmMain main;
    frmFolder& picker = main.folderWindow();
};

// The "no ';' replaces" rule, a doubled or missing ";", or a picker without tag "1" that
// still writes.
TEST_F(FrmFolderTest, AddPathReplacesASinglePathAndAppendsOnceTheBoxHoldsASemicolon) {
    EXPECT_EQ(pathAfterAdding("", "/m/B"), "/m/B;");
    EXPECT_EQ(pathAfterAdding("/A", "/m/B"), "/m/B;");
    EXPECT_EQ(pathAfterAdding("/A;", "/m/B"), "/A;/m/B");
    EXPECT_EQ(pathAfterAdding("/A;/m/B", "/m/C"), "/A;/m/B;/m/C");
    EXPECT_EQ(pathAfterAdding("/A;", "/x y/\"q\";z"), "/A;/x y/\"q\";z");

    picker.setTag(QString());
    EXPECT_EQ(pathAfterAdding("/A;", "/m/D"), "/A;");

    picker.setTag(QStringLiteral("1"));
    messages.expect("Click on a folder first!");
    picker.show();
    EXPECT_EQ(pathAfterAdding("/A;", ""), "/A;");
    EXPECT_TRUE(picker.isVisible());
    EXPECT_EQ(messages.shown().value(0).icon, MsgIcon::Critical);
}

// Opening with one folder, with a list of folders, with almost nothing, or with a folder that
// does not exist; the folder list's rows and what a click puts into the text box.
TEST_F(FrmFolderTest, ActivationFollowsThePathBoxAndAClickNamesTheFolder) {
    main.cboPath->setEditText(music());
    picker.Form_Activate();
    EXPECT_EQ(picker.txtPath->text(), music());
    EXPECT_EQ(picker.Dir1->path(), music());
    // Down from the root to the folder, then its folders without the hidden one.
    const QStringList rows = folderRows();
    EXPECT_EQ(rows.first(), "/");
    EXPECT_EQ(rows.mid(rows.size() - 3), QStringList({"Music", "ambient", "Rock"}));

    const int rock = static_cast<int>(rows.size()) - 1;
    picker.Dir1->setCurrentIndex(picker.Dir1->model()->index(rock, 0));
    EXPECT_EQ(picker.txtPath->text(), music() + "/Rock");
    EXPECT_EQ(picker.Dir1->path(), music());
    // The space bar opens the folder chosen; the text box keeps naming it.
    QTest::keyClick(picker.Dir1, Qt::Key_Space);
    EXPECT_EQ(picker.Dir1->path(), music() + "/Rock");
    EXPECT_EQ(picker.txtPath->text(), music() + "/Rock");

    main.cboPath->setEditText(music() + ";/elsewhere");
    picker.Form_Activate();
    EXPECT_EQ(picker.txtPath->text(), "");
    EXPECT_EQ(picker.Dir1->path(), "/");
    // A click on the folder already chosen names it as well.
    picker.show();
    QApplication::processEvents();
    const QModelIndex root = picker.Dir1->model()->index(0, 0);
    ASSERT_TRUE(QTest::qWaitFor([&] { return picker.Dir1->visualRect(root).isValid(); }));
    QTest::mouseClick(picker.Dir1->viewport(), Qt::LeftButton, {},
                      picker.Dir1->visualRect(root).center());
    EXPECT_EQ(picker.txtPath->text(), "/");

    picker.Dir1->setPath(music());
    main.cboPath->setEditText("/x");
    picker.Form_Activate();
    EXPECT_EQ(picker.txtPath->text(), "");
    EXPECT_EQ(picker.Dir1->path(), music());

    main.cboPath->setEditText(music() + "/missing");
    picker.Form_Activate();
    EXPECT_EQ(picker.txtPath->text(), music() + "/missing");
    EXPECT_EQ(picker.Dir1->path(), music());
    EXPECT_TRUE(messages.shown().isEmpty());
}

// A volume taken away while listed: the lists go back to the root with "Drive not ready...",
// rather than showing a folder that is gone.
TEST_F(FrmFolderTest, DriveThatWentAwayFallsBackToTheRoot) {
    const QString stick = dir.filePath("stick");
    QDir().mkpath(stick);
    picker.Drive1->addItem(stick);
    const int row = picker.Drive1->count() - 1;
    picker.Drive1->setCurrentIndex(row);
    emit picker.Drive1->activated(row);
    EXPECT_EQ(picker.Dir1->path(), stick);
    EXPECT_EQ(picker.txtPath->text(), stick);

    picker.Drive1->setDrive("/");
    QDir(stick).removeRecursively();
    messages.expect("Drive not ready...");
    picker.Drive1->setCurrentIndex(row);
    emit picker.Drive1->activated(row);
    EXPECT_EQ(picker.Dir1->path(), "/");
    EXPECT_EQ(picker.Drive1->drive(), "/");
    EXPECT_EQ(messages.shown().value(0).icon, MsgIcon::Information);
    messages.verifyAllShown();
}

// From the main window's Browse button: Esc changes nothing, Enter adds the text box's
// folder, and after the close box the next use gets a new picker at its start.
TEST_F(FrmFolderTest, BrowseButtonKeysAndCloseBox) {
    main.show();
    main.cboPath->setEditText(music());
    test::whenShown(picker, [&] { QTest::keyClick(&picker, Qt::Key_Escape); });
    main.cmdBrowsePath->click();
    EXPECT_FALSE(picker.isVisible());
    EXPECT_EQ(main.cboPath->currentText(), music());

    test::whenShown(picker, [&] {
        picker.txtPath->setText(music() + "/Rock");
        QTest::keyClick(picker.txtPath, Qt::Key_Return);
    });
    main.cmdBrowsePath_Click();
    EXPECT_EQ(main.cboPath->currentText(), music() + "/Rock;");

    main.folderWindow().setObjectName("closed by its close box");
    test::whenShown(main.folderWindow(), [&] { main.folderWindow().close(); });
    main.cmdBrowsePath_Click();
    EXPECT_EQ(main.cboPath->currentText(), music() + "/Rock;");
    EXPECT_NE(main.folderWindow().objectName(), "closed by its close box");
    EXPECT_FALSE(main.folderWindow().isVisible());
}

} // namespace
} // namespace mixgen
