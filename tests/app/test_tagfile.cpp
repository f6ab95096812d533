#include "app/tagfile.h"

#include "scriptedmessages.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::ScriptedMessages;
using mixgen::test::writeFile;

namespace {

const QByteArray kCreatedFile = "MP3\r\nTunepicker\r\nv2.2.3\r\n";

QStringList items(const char* content) {
    return tagItems(QByteArray(content));
}

class TagFile : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString folder() const { return dir.path(); }
    QString tagPath() const { return dir.path() + "/MIXGEN.TAG"; }
};

// A seam that runs an action when the question comes, then answers it.
class ActingSeam final : public MessageSeam {
public:
    ActingSeam(std::function<void()> action, MsgAnswer answer)
        : m_action(std::move(action)), m_answer(answer) {
        setMessageSeam(this);
    }
    ~ActingSeam() override { setMessageSeam(nullptr); }
    MsgAnswer show(const QString&, const QString& text, MsgIcon, MsgButtons) override {
        texts.append(text);
        if (m_action)
            m_action();
        return m_answer;
    }
    QStringList texts;

private:
    std::function<void()> m_action;
    MsgAnswer m_answer;
};

} // namespace

// Commas split items, quotes keep them together, leading blanks go.
TEST(TagItems, CommaDelimitedItems) {
    EXPECT_EQ(items("a, b"), QStringList({"a", "b"}));
    EXPECT_EQ(items("\"a, b\""), QStringList({"a, b"}));
    EXPECT_EQ(items("  \"a, b\" , c\r\n"), QStringList({"a, b", "c"}));
    EXPECT_EQ(items("\"quoted\"junk,next"), QStringList({"quoted", "next"}));
    EXPECT_EQ(items("one two ,three"), QStringList({"one two ", "three"}));
    EXPECT_EQ(items("\"open quote, to the end\r\nx"), QStringList({"open quote, to the end", "x"}));
}

// Every kind of line end ends an item; empty lines and trailing commas give empty items.
TEST(TagItems, LineEndsAndEmptyItems) {
    EXPECT_EQ(items(kCreatedFile.constData()), QStringList({"MP3", "Tunepicker", "v2.2.3"}));
    EXPECT_EQ(items("a\nb\rc\r\nd"), QStringList({"a", "b", "c", "d"}));
    EXPECT_EQ(items("a\r\n\r\nb\r\n"), QStringList({"a", "", "b"}));
    EXPECT_EQ(items("a,\r\nb"), QStringList({"a", "", "b"}));
    EXPECT_EQ(items("a,,b"), QStringList({"a", "", "b"}));
    EXPECT_TRUE(items("").isEmpty());
    EXPECT_EQ(items("   "), QStringList({""}));
}

// A huge or binary file is read only up to the limits and never breaks the label.
TEST(TagItems, HugeAndBinaryContentIsBounded) {
    QByteArray manyLines;
    for (int i = 0; i < 1000; ++i)
        manyLines += "line\r\n";
    EXPECT_EQ(tagItems(manyLines).size(), kTagItemLimit);

    const QStringList oneLong = tagItems(QByteArray(200 * 1024, 'x'));
    ASSERT_EQ(oneLong.size(), 1);
    EXPECT_EQ(oneLong.first().size(), kTagFileReadLimit);

    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary += char(i * 7 % 256);
    const QStringList garbage = tagItems(binary);
    EXPECT_LE(garbage.size(), kTagItemLimit);
    for (const QString& item : garbage)
        EXPECT_FALSE(item.contains(QChar(u'\0')));
}

// The label shows one line per item, each ended by CR LF.
TEST_F(TagFile, LabelFromAnExistingFile) {
    writeFile(tagPath(), "Party, Mix\r\n\"Rock, Pop\"\r\n");
    ScriptedMessages messages; // no question may be asked
    EXPECT_EQ(loadTagLabel(folder()).toStdString(), "Party\r\nMix\r\nRock, Pop\r\n");
    EXPECT_EQ(readFile(tagPath()).toStdString(), "Party, Mix\r\n\"Rock, Pop\"\r\n");
    EXPECT_EQ(readTagLabel(folder() + "/").toStdString(), "Party\r\nMix\r\nRock, Pop\r\n");
}

// A missing or empty file is (re)written with its three lines, and the label shows them.
TEST_F(TagFile, MissingOrEmptyFileIsCreated) {
    ScriptedMessages messages;
    EXPECT_TRUE(readTagLabel(folder()).isEmpty());
    EXPECT_EQ(loadTagLabel(folder()).toUtf8(), kCreatedFile);
    EXPECT_EQ(readFile(tagPath()), kCreatedFile);
    EXPECT_EQ(defaultTagLabel().toUtf8(), kCreatedFile);

    writeFile(tagPath(), "");
    EXPECT_EQ(loadTagLabel(folder()).toUtf8(), kCreatedFile);
    EXPECT_EQ(readFile(tagPath()), kCreatedFile);
}

// A folder under the tag file's name can be neither read nor replaced: the user is asked,
// and "No" leaves the label empty without touching the folder.
TEST_F(TagFile, FolderInTheWayAsksAndNoLeavesTheLabelEmpty) {
    ASSERT_TRUE(QDir(folder()).mkdir("MIXGEN.TAG"));
    ScriptedMessages messages;
    messages.expect("Could not write to", MsgAnswer::No);
    EXPECT_TRUE(loadTagLabel(folder()).isEmpty());
    messages.verifyAllShown();
    ASSERT_EQ(messages.shown().size(), 1);
    const auto& question = messages.shown().first();
    EXPECT_EQ(question.text, "Could not write to " + folder().toUpper() +
                                 "/MIXGEN.TAG\r\nDo you want to retry the operation?\r\n");
    EXPECT_EQ(question.caption, QStringLiteral("MP3 Tunepicker"));
    EXPECT_EQ(question.icon, MsgIcon::Exclamation);
    EXPECT_EQ(question.buttons, MsgButtons::YesNo);
    EXPECT_TRUE(QFileInfo(tagPath()).isDir());
}

// "Yes" retries the writing from the start; once it works the label is the three lines.
TEST_F(TagFile, YesRetriesUntilTheFileCanBeWritten) {
    const QString missing = folder() + "/not yet";
    int asked = 0;
    ActingSeam seam(
        [&] {
            if (++asked == 2)
                QDir().mkpath(missing);
        },
        MsgAnswer::Yes);
    EXPECT_EQ(loadTagLabel(missing).toUtf8(), kCreatedFile);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(readFile(missing + "/MIXGEN.TAG"), kCreatedFile);
    EXPECT_TRUE(seam.texts.first().contains(missing.toUpper() + "/MIXGEN.TAG"));
}

// An unreadable file gives an empty label, so start-up goes on to rewrite it.
TEST_F(TagFile, UnreadableFileReadsAsEmpty) {
    if (::geteuid() == 0)
        GTEST_SKIP() << "the superuser reads every file";
    writeFile(tagPath(), "secret");
    ASSERT_TRUE(QFile::setPermissions(tagPath(), QFile::WriteOwner));
    EXPECT_TRUE(readTagLabel(folder()).isEmpty());
}

// Creating replaces any content and fails cleanly where the folder is missing.
TEST_F(TagFile, CreateReplacesContentAndReportsFailure) {
    writeFile(tagPath(), "a much longer old tag text that must be gone entirely\r\n");
    EXPECT_TRUE(createTagFile(folder()));
    EXPECT_EQ(readFile(tagPath()), kCreatedFile);
    EXPECT_FALSE(createTagFile(folder() + "/missing/sub"));
    EXPECT_EQ(tagFilePath(folder()), folder() + "/MIXGEN.TAG");
    EXPECT_EQ(tagFilePath(folder() + "/"), folder() + "/MIXGEN.TAG");
}

// The tag file an install ships holds what the program would write, so a program folder its
// users cannot write shows the label without asking to retry, and the file stays as shipped.
TEST_F(TagFile, ShippedFileNeedsNoWritableFolder) {
    const QByteArray shipped = readFile(QStringLiteral(MIXGEN_SHIPPED_TAG));
    EXPECT_EQ(shipped, defaultTagLabel().toUtf8());
    writeFile(tagPath(), shipped);
    ASSERT_TRUE(QFile::setPermissions(folder(), QFile::ReadOwner | QFile::ExeOwner |
                                                    QFile::ReadOther | QFile::ExeOther));
    {
        ScriptedMessages messages; // no question may be asked
        EXPECT_EQ(loadTagLabel(folder()).toUtf8(), shipped);
        EXPECT_TRUE(messages.shown().isEmpty());
    }
    EXPECT_EQ(readFile(tagPath()), shipped);
    QFile::setPermissions(folder(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}
