#include "core/inifile.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace mixgen;

namespace {

QByteArray allBytes() {
    QByteArray bytes;
    for (int b = 0; b < 256; ++b)
        bytes += static_cast<char>(b);
    return bytes;
}

// Catches an escape that cannot be undone, or one that lets a field break its line.
TEST(IniFile, EscapedFieldsComeBackUnchangedAndStayOnOneLine) {
    QList<QByteArray> samples = {
        "",
        " ",
        "  both  ",
        "a\\b",
        "\\",
        "\\s",
        "\\x41",
        "x=y",
        "[Section]",
        ";comment",
        "#hash",
        "@",
        "\"q\"",
        "tab\tin",
        "line\nbreak\r\n",
        QByteArray("nul\0mid", 7),
        "Caf\xc3\xa9 \xe2\x99\xab",
        "\xff\xfe broken utf8",
        allBytes(),
    };
    QRandomGenerator random(20240601);
    for (int i = 0; i < 200; ++i) {
        QByteArray bytes(random.bounded(1, 40), '\0');
        for (char& c : bytes)
            c = static_cast<char>(random.bounded(256));
        samples.append(bytes);
    }
    for (IniField field : {IniField::Section, IniField::Key, IniField::Value}) {
        for (const QByteArray& raw : samples) {
            const QByteArray escaped = escapeIniField(raw, field);
            EXPECT_EQ(unescapeIniField(escaped), raw) << escaped.constData();
            EXPECT_FALSE(escaped.contains('\n') || escaped.contains('\r'));
            EXPECT_FALSE(escaped.startsWith(' ') || escaped.endsWith(' '));
            if (field == IniField::Key) {
                EXPECT_EQ(escaped.count('='), escaped.count("\\=")) << "a bare = in a key";
            }
        }
    }
}

// Catches escaping that makes ordinary texts unreadable for a person editing the file, or
// that eats a hand-typed backslash.
TEST(IniFile, PlainTextsStayPlain) {
    for (const QByteArray plain : {"Explorer", "/home/ann/Music;/srv/mp3", "C:/x y/z.m3u",
                                   "Caf\xc3\xa9", "a=b", "50%", "x;y#z", "\"quoted\""}) {
        EXPECT_EQ(escapeIniField(plain, IniField::Value), plain);
    }
    EXPECT_EQ(escapeIniField(" lead", IniField::Value), "\\slead");
    EXPECT_EQ(escapeIniField("a=b", IniField::Key), "a\\=b");
    EXPECT_EQ(unescapeIniField("C:\\Music\\q"), "C:\\Music\\q");
    EXPECT_EQ(unescapeIniField("end\\"), "end\\");
    EXPECT_EQ(unescapeIniField("\\xZZ"), "\\xZZ");
}

// Catches a parser that trips over hand edits: blanks around "=", CR LF line ends, a byte
// order mark, comments, stray lines, entries before any section, repeated sections.
TEST(IniFile, ReadsHandEditedFiles) {
    const QByteArray content = "\xEF\xBB\xBF"
                               "orphan=1\r\n"
                               "[Settings]\r\n"
                               "  OpenWith =  Winamp  \r\n"
                               "; Action=Play\r\n"
                               "# Action=Play\r\n"
                               "this line means nothing\r\n"
                               "[unclosed\r\n"
                               "Empty=\r\n"
                               "Blank=\\s\r\n"
                               "[Other]\r\n"
                               "Key=other\r\n"
                               "[Settings]\r\n"
                               "Action=Enqueue\r\n"
                               "OpenWith=second\r\n";
    const IniDocument document(content);
    EXPECT_EQ(document.value("Settings", "OpenWith"), QByteArray("Winamp"));
    EXPECT_EQ(document.value("Settings", "Action"), QByteArray("Enqueue"));
    EXPECT_EQ(document.value("Settings", "Empty"), QByteArray(""));
    EXPECT_EQ(document.value("Settings", "Blank"), QByteArray(" "));
    EXPECT_EQ(document.value("Other", "Key"), QByteArray("other"));
    EXPECT_FALSE(document.value("Settings", "orphan"));
    EXPECT_FALSE(document.value("Settings", "Key"));
    EXPECT_FALSE(document.value("settings", "OpenWith")) << "names are exact by default";
    EXPECT_EQ(document.sectionNames(), (QList<QString>{"Settings", "Other"}));
}

// Catches edits that lose or reorder the lines they do not change, or leave a duplicate that
// would read back the old value.
TEST(IniFile, EditsChangeOnlyTheirOwnLines) {
    IniDocument document("# my notes\n"
                         "[A]\n"
                         "k=1\n"
                         "stray\n"
                         "\n"
                         "[B]\n"
                         "k=2\n"
                         "[A]\n"
                         "k=3\n");
    EXPECT_TRUE(document.setValue("A", "k", "new"));
    EXPECT_TRUE(document.setValue("A", "j", "added"));
    EXPECT_FALSE(document.setValue("A", "j", "added"));
    EXPECT_TRUE(document.setValue("C", "x y", " padded "));
    EXPECT_EQ(document.toBytes(), "# my notes\n"
                                  "[A]\n"
                                  "k=new\n"
                                  "j=added\n"
                                  "stray\n"
                                  "\n"
                                  "[B]\n"
                                  "k=2\n"
                                  "[A]\n"
                                  "\n"
                                  "[C]\n"
                                  "x y=\\spadded\\s\n");

    EXPECT_TRUE(document.removeValue("A", "k"));
    EXPECT_FALSE(document.removeValue("A", "k"));
    EXPECT_FALSE(document.value("A", "k"));
    EXPECT_EQ(document.value("B", "k"), QByteArray("2"));

    EXPECT_TRUE(document.removeSections([](const QString& name) { return name == "A"; }));
    EXPECT_EQ(document.toBytes(), "# my notes\n"
                                  "[B]\n"
                                  "k=2\n"
                                  "[C]\n"
                                  "x y=\\spadded\\s\n");
}

// Catches a registry-style document that does not ignore case or mishandles the "@" name of
// the default value.
TEST(IniFile, RegistryStyleNamesIgnoreCaseAndUseAtForTheDefault) {
    IniDocument::Options options;
    options.plainSectionNames = true;
    options.nameCase = Qt::CaseInsensitive;
    options.emptyKeyText = "@";
    IniDocument document("[Folder\\shell]\n@=1:x\n", options);
    EXPECT_EQ(document.value("FOLDER\\Shell", ""), QByteArray("1:x"));
    EXPECT_FALSE(document.value("Folder\\shell", "@"));
    EXPECT_TRUE(document.setValue("folder\\SHELL", "@", "named"));
    EXPECT_TRUE(document.setValue("Folder\\shell", "", "1:y"));
    EXPECT_EQ(document.toBytes(), "[Folder\\shell]\n@=1:y\n\\@=named\n");
}

} // namespace
