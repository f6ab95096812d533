// The lossless name codec: names that are not valid UTF-8 come back byte for byte.
#include "platform/nameencoding.h"

#include <QList>
#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

// Catches a byte lost or changed on the way from a name to text and back: Latin-1 bytes, a cut
// sequence, an encoded surrogate, an overlong form, a stray byte after a four-byte character,
// and any mix of bytes at all.
TEST(NameEncoding, EveryNameComesBackByteForByte) {
    const QList<QByteArray> names = {
        "/music/caf\xe9",       "/music/\xe2\x82", "/a\xed\xb2\x80z", "\xc0\xaf",
        "\xf0\x90\x82\x80\x80", "\xff\xfe",        "\x80/x",
    };
    for (const QByteArray& name : names)
        EXPECT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();
    QRandomGenerator random(19);
    for (int round = 0; round < 2000; ++round) {
        QByteArray name(int(random.bounded(12)), '\0');
        for (char& byte : name)
            byte = char(random.bounded(256));
        ASSERT_EQ(encodeFileName(decodeFileName(name)), name) << name.toHex().toStdString();
    }
}

// Catches a name that is valid UTF-8 read differently from Qt's own reading (so that names
// would no longer match what Qt lists), and two different names decoded alike.
TEST(NameEncoding, ValidNamesReadAsUsualAndInvalidOnesStayApart) {
    const QByteArray valid = "/music/Café Ørsted/日本/\xf0\x9f\x8e\xb5";
    EXPECT_EQ(decodeFileName(valid), QString::fromUtf8(valid));
    EXPECT_EQ(encodeFileName(QString::fromUtf8(valid)), valid);
    EXPECT_EQ(decodeFileName("caf\xe9"), QString("caf") + QChar(0xDCE9));
    EXPECT_NE(decodeFileName("caf\xe9"), decodeFileName("caf\xe8"));
    EXPECT_NE(decodeFileName("caf\xe9"), QString::fromUtf8("caf\xef\xbf\xbd"));
}

} // namespace
} // namespace mixgen
