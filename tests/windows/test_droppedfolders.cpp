// Folders dropped on the main window: which items count as folders, where they land, the
// 5000-item limit with each control's message, and drops that must change nothing.
#include "scriptedmessages.h"
#include "testenv.h"
#include "windows/droppedfolders.h"
#include "windows/frmmain.h"
#include "windowstestkit.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace mixgen {
namespace {

using test::ScriptedMessages;

QList<QUrl> urls(const QStringList& paths) {
    QList<QUrl> list;
    for (const QString& path : paths)
        list.append(QUrl::fromLocalFile(path));
    return list;
}

class DroppedFoldersTest : public ::testing::Test {
protected:
    DroppedFoldersTest() {
        QDir().mkpath(path("Music"));
        QDir().mkpath(path("Songs"));
        test::writeFile(path("song.mp3"), "x");
        test::writeFile(path(".hidden.mp3"), "x");
    }
    QString path(const QString& name) const { return dir.filePath(name); }

    // count folders below the temporary folder, made once per test that needs them.
    QList<QUrl> manyFolders(int count) const {
        QList<QUrl> list;
        list.reserve(count);
        for (int i = 0; i < count; ++i)
            list.append(QUrl::fromLocalFile(dir.path() + (i % 2 ? "/Music" : "/Songs")));
        return list;
    }

    QTemporaryDir dir;
};

// A file mistaken for a folder, a folder mistaken for a file, a missing separator or a leading
// ";", or a link followed into a loop that hangs or counts.
TEST_F(DroppedFoldersTest, OnlyFoldersAreAppendedAsDroppedDuplicatesKept) {
    QFile::link(path("Music"), path("MusicLink"));
    QFile::link(path("loop"), path("loop"));
    QFile::link(path("gone"), path("dangling"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe")).constData(), 0600), 0);

    const QList<QUrl> items =
        urls({path("Music"), path("song.mp3"), path(".hidden.mp3"), path("MusicLink"), path("loop"),
              path("dangling"), path("pipe"), path("missing"), path("Music")}) +
        QList<QUrl>{QUrl("https://example.org/Music")};
    EXPECT_EQ(appendDroppedFolders(QString(), items).pathText,
              path("Music") + ";" + path("MusicLink") + ";" + path("Music"));
    EXPECT_EQ(appendDroppedFolders("/A", urls({path("Songs")})).pathText, "/A;" + path("Songs"));
    EXPECT_EQ(appendDroppedFolders("/A", urls({path("song.mp3")})).pathText, "/A");
    EXPECT_EQ(appendDroppedFolders(QString(), urls({"/"})).pathText, "/");
    EXPECT_EQ(appendDroppedFolders("/A", {}).pathText, "/A");
}

// The limit counted wrongly (5000 must pass without a message), the wrong control's message,
// or items after the limit still appended.
TEST_F(DroppedFoldersTest, LimitMessageDependsOnTheControlAfterTheFirst5000) {
    frmMain main;
    ScriptedMessages messages;

    main.Form_OLEDragDrop(manyFolders(5000));
    EXPECT_EQ(main.cboPath->currentText().count(u';'), 4999);
    EXPECT_TRUE(messages.shown().isEmpty());

    main.cboPath->setEditText(QString());
    messages.expect("Cannot process more than 5000 paths at once. The first 5000 will be used.");
    main.cmdBrowsePath_OLEDragDrop(manyFolders(5001));
    EXPECT_EQ(main.cboPath->currentText().count(u';'), 4999);

    main.cboPath->setEditText(QString());
    messages.expect("Cannot process more than 5000 paths at once.");
    main.cboPath_OLEDragDrop(manyFolders(100000));
    EXPECT_EQ(main.cboPath->currentText().count(u';'), 4999);
    ASSERT_EQ(messages.shown().size(), 2);
    EXPECT_EQ(messages.shown()[1].text, "Cannot process more than 5000 paths at once.");
    EXPECT_EQ(messages.shown()[1].icon, MsgIcon::Critical);
    messages.verifyAllShown();
}

// A drop on another box must not put the names into that box, must append to the path box
// and must neither start a run nor be refused.
TEST_F(DroppedFoldersTest, DropOnAnyControlLandsInThePathBoxOnly) {
    ScriptedMessages messages;
    frmMain main;
    main.cboPath->setEditText("/A");
    main.cboOutput->setEditText("out.m3u");
    main.show();

    for (QWidget* target : QList<QWidget*>{main.cboOutput->lineEdit(), main.txtNumber,
                                           main.cmdPlaylist, main.lblTag, &main}) {
        QMimeData data;
        data.setUrls(urls({path("Music"), path("song.mp3")}));
        data.setText(path("Music"));
        const QPoint at(2, 2);
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton,
                              Qt::NoModifier);
        QApplication::sendEvent(target, &enter);
        EXPECT_TRUE(enter.isAccepted());
        QDropEvent drop(at, Qt::CopyAction | Qt::MoveAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(target, &drop);
        EXPECT_TRUE(drop.isAccepted());
        // Never a move: the file manager would take the folder away.
        EXPECT_EQ(drop.dropAction(), Qt::CopyAction);
    }
    QTest::qWait(50);
    const QString music = path("Music");
    EXPECT_EQ(main.cboPath->currentText(), "/A;" + QStringList(5, music).join(u';'));
    EXPECT_EQ(main.cboOutput->currentText(), "out.m3u");
    EXPECT_EQ(main.txtNumber->text(), "1000");
    EXPECT_TRUE(main.isVisible());
    EXPECT_TRUE(messages.shown().isEmpty());
}

} // namespace
} // namespace mixgen
