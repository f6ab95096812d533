// The path and output histories as the settings store keeps them.
#include "core/settingsstore.h"
#include "windows/history.h"

#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

namespace mixgen {
namespace {

const QString kSection = QStringLiteral("PathMRU");

class HistoryTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SettingsStore store{dir.path() + "/MIXGEN.ini"};

    QString key(char letter) const {
        return store.GetSetting(kSection, QString(QChar(letter)), QStringLiteral("<missing>"));
    }
    void save(const QStringList& texts) const {
        for (const QString& text : texts)
            saveHistoryEntry(store, kSection, text);
    }
};

// A first save that forgot to create the keys "B" to "P", or stored under the wrong one.
TEST_F(HistoryTest, FirstSaveWritesTheEntryAndCreatesEveryKey) {
    EXPECT_TRUE(loadHistoryEntries(store, kSection).isEmpty());
    save({QStringLiteral("/music/a")});
    EXPECT_EQ(key('A'), "/music/a");
    for (char letter = 'B'; letter <= 'P'; ++letter)
        EXPECT_EQ(key(letter), "") << letter;
    EXPECT_EQ(loadHistoryEntries(store, kSection), QStringList{"/music/a"});
}

// Newest-first order broken, a repeated entry doubled instead of moved to the front, or names
// compared or stored without their case.
TEST_F(HistoryTest, NewestFirstAndAnOldOccurrenceMovesToTheFront) {
    save({"c:/a", "c:/b", "c:/c"});
    EXPECT_EQ(loadHistoryEntries(store, kSection), (QStringList{"c:/c", "c:/b", "c:/a"}));

    save({"c:/b"});
    EXPECT_EQ(loadHistoryEntries(store, kSection), (QStringList{"c:/b", "c:/c", "c:/a"}));

    // Linux names differ by case: "c:/B" is another entry, kept as typed.
    save({"c:/B"});
    EXPECT_EQ(loadHistoryEntries(store, kSection), (QStringList{"c:/B", "c:/b", "c:/c", "c:/a"}));

    // The newest again: nothing moves.
    save({"c:/B"});
    EXPECT_EQ(loadHistoryEntries(store, kSection), (QStringList{"c:/B", "c:/b", "c:/c", "c:/a"}));
}

// The sixteenth entry must leave the list through "P", and the list stay at fifteen.
TEST_F(HistoryTest, SixteenRequestsPushTheFirstToKeyP) {
    QStringList texts;
    for (int i = 1; i <= 16; ++i)
        texts.append(QStringLiteral("/songs/%1").arg(i));
    save(texts);

    QStringList expected;
    for (int i = 16; i >= 2; --i)
        expected.append(QStringLiteral("/songs/%1").arg(i));
    EXPECT_EQ(loadHistoryEntries(store, kSection), expected);
    EXPECT_EQ(key('P'), "/songs/1");
    EXPECT_EQ(key('O'), "/songs/2");
}

// An empty or missing key in the middle: skipped by the load, moved down by the save.
TEST_F(HistoryTest, EmptyKeyInTheMiddleIsSkippedAndMovesDown) {
    store.SaveSetting(kSection, "A", "/x");
    store.SaveSetting(kSection, "B", "");
    store.SaveSetting(kSection, "D", "/z"); // "C" missing
    EXPECT_EQ(loadHistoryEntries(store, kSection), (QStringList{"/x", "/z"}));

    save({"/new"});
    EXPECT_EQ(key('A'), "/new");
    EXPECT_EQ(key('B'), "/x");
    EXPECT_EQ(key('C'), "");
    EXPECT_EQ(key('D'), "");
    EXPECT_EQ(key('E'), "/z");
    EXPECT_EQ(loadHistoryEntries(store, kSection), (QStringList{"/new", "/x", "/z"}));
}

// The entry at "O" chosen again: "P" keeps what it held, and the list stays whole.
TEST_F(HistoryTest, ReusingTheOldestListedEntryLeavesKeyPAlone) {
    QStringList texts;
    for (int i = 1; i <= 16; ++i)
        texts.append(QStringLiteral("/songs/%1").arg(i));
    save(texts); // "/songs/2" at "O", "/songs/1" at "P"
    save({"/songs/2"});

    EXPECT_EQ(key('P'), "/songs/1");
    QStringList expected{"/songs/2"};
    for (int i = 16; i >= 3; --i)
        expected.append(QStringLiteral("/songs/%1").arg(i));
    EXPECT_EQ(loadHistoryEntries(store, kSection), expected);
}

// Requests recording at the same time losing entries or storing one twice (each read all
// the keys, then wrote them one by one).
TEST_F(HistoryTest, RequestsSavingAtOnceKeepAWellFormedList) {
    constexpr int kRequests = 20;
    QList<pid_t> children;
    for (int i = 0; i < kRequests; ++i) {
        const pid_t child = ::fork();
        if (child == 0) {
            saveHistoryEntry(store, kSection, QStringLiteral("/music/%1").arg(i));
            ::_exit(0);
        }
        children.append(child);
    }
    for (pid_t child : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
    }
    QStringList all = loadHistoryEntries(store, kSection);
    all.append(key('P'));
    EXPECT_EQ(all.size(), kHistoryListed + 1);
    EXPECT_EQ(QSet<QString>(all.begin(), all.end()).size(), all.size())
        << all.join(' ').toStdString();
}

} // namespace
} // namespace mixgen
