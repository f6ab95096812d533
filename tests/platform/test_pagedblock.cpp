#include "platform/pagedblock.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstring>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace mixgen;

namespace {

// A file holding bytes, opened for reading (closed by the caller).
int fileWith(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        return -1;
    file.close();
    return ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
}

std::string held(const PagedBlock& block, std::size_t bytes) {
    return std::string(block.data(), bytes);
}

} // namespace

// Catches a block whose file pages miss what the file gets later, or that still leans on the
// file once it has copied the bytes (reading a truncated file's page would kill the program),
// or that loses bytes when it must move past its room.
TEST(PagedBlock, FilePagesFollowTheFileUntilTheBlockKeepsItsOwn) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("list");
    const int fd = fileWith(path, "abc");
    ASSERT_GE(fd, 0);

    PagedBlock block;
    block.reserve(1 << 20);
    ASSERT_TRUE(block.mapFile(fd, 0, 3));
    EXPECT_TRUE(block.holdsFilePages());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::Append));
    ASSERT_EQ(file.write("def"), 3);
    file.flush();
    EXPECT_EQ(held(block, 6), "abcdef");

    block.reserve(block.capacity() + 1, 6); // moves: the six bytes are copied
    EXPECT_FALSE(block.holdsFilePages());
    EXPECT_EQ(held(block, 6), "abcdef");

    ASSERT_TRUE(block.mapFile(fd, 0, 6));
    block.keepOwnCopy(6);
    EXPECT_FALSE(block.holdsFilePages());
    ASSERT_TRUE(file.resize(0));
    EXPECT_EQ(held(block, 6), "abcdef");
    ::close(fd);
}
