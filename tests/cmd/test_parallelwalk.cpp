// The walk on several threads, with walkers added while it runs (as when it waits for the disk).
#include "parallelwalk.h"
#include "testenv.h"
#include "treewalker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

using namespace mixgen::cmd;
namespace fs = std::filesystem;

namespace {

class TempTree {
public:
    TempTree() {
        char name[] = "/tmp/mixgen-parallelwalk-XXXXXX";
        m_root = ::mkdtemp(name);
    }
    ~TempTree() { fs::remove_all(m_root); }
    const fs::path& root() const { return m_root; }
    void file(const fs::path& relative) {
        fs::create_directories((m_root / relative).parent_path());
        std::ofstream(m_root / relative) << "x";
    }
    void link(const fs::path& relative, const fs::path& target) {
        fs::create_directory_symlink(target, m_root / relative);
    }

private:
    fs::path m_root;
};

// What a walk lists for each pattern, one text per pattern.
template <typename Walker> std::vector<std::string> listed(Walker& walker, const fs::path& root) {
    const NamePattern songs("*.MP?");
    const NamePattern waves("*.WAV");
    const std::vector<const NamePattern*> patterns{&songs, &waves};
    std::vector<std::unique_ptr<ListOutput>> lists;
    std::vector<ListOutput*> outputs;
    for (std::size_t i = 0; i < patterns.size(); ++i) {
        lists.push_back(std::make_unique<ListOutput>());
        outputs.push_back(lists.back().get());
    }
    EXPECT_TRUE(walker.walk(root.string() + "/", patterns, outputs));
    std::vector<std::string> texts;
    for (auto& list : lists)
        texts.push_back(list->takeBytes());
    return texts;
}

// Catches walkers added in the middle of a walk that put pieces out of order, list one twice
// or lose one, or that break the handling of links into folders walked before or after.
TEST(ParallelWalk, WalkersAddedWhileItRunsListWhatOneThreadLists) {
    TempTree tree;
    for (int artist = 0; artist < 40; ++artist) {
        for (int album = 0; album < 4; ++album) {
            const fs::path folder =
                "Artist " + std::to_string(artist) + "/Album " + std::to_string(album);
            for (int track = 0; track < 5; ++track)
                tree.file(folder / ("Track " + std::to_string(track) + ".mp3"));
            tree.file(folder / "intro.wav");
        }
    }
    tree.link("Artist 3/later", "../Artist 30/Album 1"); // reached through the link first
    tree.link("Artist 20/earlier", "../Artist 2");       // walked already
    tree.link("Artist 7/Album 0/up", "../..");           // a loop back to the top

    TreeWalker single;
    const std::vector<std::string> expected = listed(single, tree.root());
    ASSERT_NE(expected[0].find("Artist 3/later/Track 0.mp3"), std::string::npos);

    ParallelWalk growing(true, 2, 6);
    growing.tellDiskWaitsBy([] { return true; });
    EXPECT_EQ(listed(growing, tree.root()), expected);
    EXPECT_GT(growing.mostWalkersUsed(), 2u); // walkers were indeed added
}

} // namespace

namespace {

// Catches a huge folder read in parts that loses, repeats or misorders an entry where the parts
// meet, or takes an entry of an empty part twice: a big folder (mostly emptied, so that parts
// hold nothing; read whole on file systems without positions) shared by 2, 3 and 16 threads;
// and subfolders from several parts put in another order than one listing's.
TEST(ParallelWalk, FoldersReadInPartsListWhatOneThreadLists) {
    TempTree tree;
    for (int i = 0; i < 1500; ++i) {
        const std::string n = std::to_string(i * 7919 % 1500);
        tree.file("Track " + n + (i % 3 ? ".mp3" : ".WAV"));
        if (i % 100 == 7)
            tree.file("sub " + std::to_string(i) + "/inner.mp3");
    }
    tree.link("a link", "sub 7"); // walked through the link, not again by its own name
    // Subfolders whose order the first letters do not settle, or that are no ASCII.
    for (const char* name : {"b", "B", "b\tx", "Ab c", "\xc3\xa9t\xc3\xa9", "Et\xc3\xa9", "z\xff",
                             "Track 10", "track 2", "Track 000120 b", "track 000120 a"})
        tree.file(std::string(name) + "/in.mp3");
    for (int i = 0; i < 800; ++i) {
        const fs::path emptied = tree.root() / "emptied" / ("gone " + std::to_string(i) + ".mp3");
        fs::create_directories(emptied.parent_path());
        std::ofstream(emptied) << "x";
        if (i % 200 != 0)
            fs::remove(emptied);
    }

    TreeWalker single;
    const std::vector<std::string> expected = listed(single, tree.root());
    const std::vector<std::string> emptied = listed(single, tree.root() / "emptied");
    ASSERT_NE(expected[0].find("a link/inner.mp3"), std::string::npos);
    for (unsigned threads : {2u, 3u, 16u}) {
        ParallelWalk parts(true, threads);
        parts.shareFoldersFrom(0);
        EXPECT_EQ(listed(parts, tree.root()), expected) << threads << " threads";
        EXPECT_EQ(listed(parts, tree.root() / "emptied"), emptied) << threads << " threads";
    }
}

} // namespace

namespace {

// Catches a run of small subtrees written with a subtree's lines twice, lost or out of order
// when a subtree in the middle of the run is walked again or left out (a link took its
// folders first): hundreds of top-level folders are claimed many to a run.
TEST(ParallelWalk, RunsOfSubtreesWithLinksListWhatOneThreadLists) {
    TempTree tree;
    const auto artist = [](int n) {
        std::string number = std::to_string(n);
        return "Artist " + std::string(3 - number.size(), '0') + number;
    };
    for (int n = 0; n < 300; ++n) {
        tree.file(artist(n) + "/Album/a.mp3");
        tree.file(artist(n) + "/Album/b.mp3");
        tree.file(artist(n) + "/Album/c.wav");
    }
    tree.link(artist(50) + "/next", "../" + artist(51));               // the run's next subtree
    tree.link(artist(120) + "/back", "../" + artist(10));              // walked runs before
    tree.link(artist(200) + "/Album/up", "../..");                     // a loop to the top
    tree.link(artist(250) + "/ahead", "../" + artist(299) + "/Album"); // the very last one's

    TreeWalker single;
    const std::vector<std::string> expected = listed(single, tree.root());
    ASSERT_NE(expected[0].find(artist(50) + "/next/Album/a.mp3"), std::string::npos);
    ASSERT_EQ(expected[0].find(artist(51) + "/Album/a.mp3"), std::string::npos);
    ASSERT_EQ(expected[0].find(artist(120) + "/back/"), std::string::npos);
    for (unsigned threads : {2u, 3u, 16u}) {
        ParallelWalk walk(true, threads);
        EXPECT_EQ(listed(walk, tree.root()), expected) << threads << " threads";
    }
}

} // namespace

namespace {

// Catches a walk that ends the interpreter when the system gives it no thread (a user at the
// limit of their processes): it must list what one thread lists, on the threads it has. The
// walk runs in a child process, as an unprivileged user (a limit root is not held to).
TEST(ParallelWalk, ListsWhatOneThreadListsWhenNoThreadCanBeHad) {
    TempTree tree;
    for (int i = 0; i < 400; ++i)
        tree.file("big/Track " + std::to_string(i) + ".mp3");
    for (int n = 0; n < 40; ++n)
        tree.file("Artist " + std::to_string(n) + "/Album/a.mp3");
    // Readable to that user, whatever the umask made of it.
    fs::permissions(tree.root(), fs::perms::others_read | fs::perms::others_exec,
                    fs::perm_options::add);
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(tree.root()))
        fs::permissions(entry.path(), fs::perms::others_read | fs::perms::others_exec,
                        fs::perm_options::add);
    TreeWalker single;
    const std::vector<std::string> expected = listed(single, tree.root());
    const std::vector<std::string> expectedBig = listed(single, tree.root() / "big");

    const mixgen::test::ChildOutcome outcome = mixgen::test::runAtProcessLimit([&] {
        ParallelWalk walk(true, 2, 4);
        walk.tellDiskWaitsBy([] { return true; }); // and asks for more walkers meanwhile
        walk.shareFoldersFrom(0);
        return listed(walk, tree.root()) == expected &&
               listed(walk, tree.root() / "big") == expectedBig;
    });
    if (!outcome.ran)
        GTEST_SKIP() << outcome.why;
    EXPECT_TRUE(outcome.held) << outcome.why << ": the walk listed something else";
}

} // namespace
