#include "platform/pagedblock.h"

#include <QFile>
#include <QTemporaryDir>

#include <string>

#include <gtest/gtest.h>

using namespace mixgen;

// Catches file pages that miss what the file gets later, bytes lost when the block must move
// past its room, and a block that still leans on the file once it keeps its own copy (reading
// a truncated file's page would kill the program).
TEST(PagedBlock, FilePagesFollowTheFileUntilTheBlockKeepsItsOwn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QFile file(dir.filePath("list"));
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_EQ(file.write("abc"), 3);
    ASSERT_TRUE(file.flush());

    PagedBlock block;
    block.reserve(1 << 20);
    ASSERT_TRUE(block.mapFile(file.handle(), 0, 3));
    ASSERT_EQ(file.write("def"), 3);
    ASSERT_TRUE(file.flush());
    EXPECT_EQ(std::string(block.data(), 6), "abcdef");

    block.reserve(block.capacity() + 1, 6);
    EXPECT_FALSE(block.holdsFilePages());
    EXPECT_EQ(std::string(block.data(), 6), "abcdef");

    ASSERT_TRUE(block.mapFile(file.handle(), 0, 6));
    block.keepOwnCopy(6);
    EXPECT_FALSE(block.holdsFilePages());
    ASSERT_TRUE(file.resize(0));
    EXPECT_EQ(std::string(block.data(), 6), "abcdef");
}
