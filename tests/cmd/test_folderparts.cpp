// The parts of a huge folder, read apart and sorted apart, merged into the order of one listing.
#include "folderparts.h"
#include "namecodec.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace mixgen::cmd;

namespace {

// Catches parts merged in another order than one sorted listing gives: the line end or the
// folder taken for part of a name (a tab sorts below CR LF), names equal but for case, names
// that start another or share their first eight letters, characters beyond ASCII and bytes
// that are no UTF-8; lines lost or repeated where a part's list goes on in another block; and
// lines lost when parts run out at different times, however many parts there are.
TEST(FolderParts, MergedPartsKeepTheOrderOfOneListing) {
    const std::string folder = "/music/big/";
    std::vector<std::string> names{"b",
                                   "b\tx",
                                   "B",
                                   "a.mp3",
                                   "A.mp3",
                                   "ab",
                                   "Ab c",
                                   "\xc3\xa9t\xc3\xa9",
                                   "Et\xc3\xa9",
                                   "z\xff",
                                   "Z",
                                   "10",
                                   "1",
                                   "track 2",
                                   "Track 10",
                                   "Track 000120 b",
                                   "track 000120 a",
                                   "Track 000119"};
    std::vector<std::string> sortedNames = names;
    std::sort(sortedNames.begin(), sortedNames.end(), lessCaseInsensitive);
    std::string expected;
    for (const std::string& name : sortedNames)
        expected += folder + name + "\r\n";

    // From one part to a part a name, and after them a part with no lines.
    for (const std::size_t count : {1, 2, 3, 5, 8, 18}) {
        std::vector<std::string> parts(count); // every count-th name, each part sorted on its own
        for (std::size_t k = 0; k < count; ++k) {
            std::vector<std::string> part;
            for (std::size_t j = k; j < names.size(); j += count)
                part.push_back(names[j]);
            std::sort(part.begin(), part.end(), lessCaseInsensitive);
            for (const std::string& name : part)
                parts[k] += folder + name + "\r\n";
        }
        // The first part in blocks of a line each, between empty ones; the others whole.
        std::vector<std::vector<std::string_view>> blocks(count + 1);
        blocks[0].emplace_back();
        for (std::size_t at = 0; at < parts[0].size();) {
            const std::size_t end = parts[0].find('\n', at) + 1;
            blocks[0].push_back(std::string_view(parts[0]).substr(at, end - at));
            at = end;
        }
        blocks[0].emplace_back();
        for (std::size_t k = 1; k < count; ++k)
            blocks[k].push_back(parts[k]);

        ListOutput merged;
        mergeSortedLines(blocks, folder.size(), merged);
        EXPECT_EQ(merged.takeBytes(), expected) << count << " parts";
    }
}

// Catches a huge folder's parts that overlap, leave a gap or overflow the positions (which
// reach 2^63), and last parts that are not the smallest: the threads wait longest for the
// part claimed last.
TEST(FolderParts, PartsCoverTheFolderBiggestFirst) {
    FileSystemFacts hashed;
    hashed.endOffsetIsFinal = true;
    for (const unsigned count : {2u, 8u, 64u, 256u}) {
        const std::vector<FolderPart> parts = folderParts(hashed, count);
        ASSERT_EQ(parts.size(), count);
        EXPECT_EQ(parts.front().from, 0);
        EXPECT_EQ(parts.back().until, -1);
        std::int64_t before = kEndOfFolderOffset;
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const std::int64_t until = parts[i].until < 0 ? kEndOfFolderOffset : parts[i].until;
            if (i > 0) {
                EXPECT_EQ(parts[i].from, parts[i - 1].until) << count << " parts, part " << i;
            }
            EXPECT_GT(until - parts[i].from, 0) << count << " parts, part " << i;
            EXPECT_LE(until - parts[i].from, before) << count << " parts, part " << i;
            before = until - parts[i].from;
        }
    }
    EXPECT_TRUE(folderParts(FileSystemFacts{}, 8).front().whole()); // positions not by hash
}

} // namespace
