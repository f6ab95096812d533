#include "core/inifile.h"
#include "core/registry.h"

#include "childprocess.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::writeFile;

namespace {

const QString kEntry = QStringLiteral("Folder\\shell\\Random Playlist");
const QString kCommand = kEntry + QStringLiteral("\\command");

// Each test gets its own empty tree.
class RegistryTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_saved = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dir.path()));
    }
    void TearDown() override { qputenv("XDG_DATA_HOME", m_saved); }

    static QString treeFile() { return registryFile(HKEY_CLASSES_ROOT); }
    static QString read(const QString& key, const QString& name = QString()) {
        return ReadRegValue(HKEY_CLASSES_ROOT, key, name).toText();
    }
    // The stored type and data of a value, straight from the file.
    static std::optional<QByteArray> storedValue(const QString& key, const QString& name) {
        IniDocument::Options options;
        options.plainSectionNames = true;
        options.nameCase = Qt::CaseInsensitive;
        options.emptyKeyText = "@";
        return IniDocument(readFile(treeFile()), options).value(key, name);
    }

    QTemporaryDir m_dir;
    QByteArray m_saved;
};

// Catches a tree kept somewhere other than the user's data folder.
TEST_F(RegistryTest, TheTreeLivesInTheDataFolder) {
    EXPECT_EQ(registryFolder(), m_dir.path() + "/MIXGEN/");
    CreateRegKey(HKEY_CLASSES_ROOT, "Folder");
    EXPECT_TRUE(QFile::exists(m_dir.path() + "/MIXGEN/HKEY_CLASSES_ROOT.ini"));
    qunsetenv("XDG_DATA_HOME");
    EXPECT_EQ(registryFolder(), QDir::homePath() + "/.local/share/MIXGEN/");
}

// Catches a create that skips the keys between, or gives them values of their own.
TEST_F(RegistryTest, CreatingAPathCreatesTheKeysBetween) {
    CreateRegKey(HKEY_CLASSES_ROOT, kCommand);
    for (const QString& key : {QString("Folder"), QString("Folder\\shell"), kEntry, kCommand})
        EXPECT_TRUE(OpenRegKey(HKEY_CLASSES_ROOT, key).isOpen()) << key.toStdString();
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "/usr/bin/mixgen /P:%1", REG_SZ);
    EXPECT_EQ(read(kCommand), "/usr/bin/mixgen /P:%1");
    EXPECT_FALSE(storedValue(kEntry, ""));
    EXPECT_EQ(read(kEntry), "");
    EXPECT_EQ(readFile(treeFile()), "[Folder]\n"
                                    "\n"
                                    "[Folder\\shell]\n"
                                    "\n"
                                    "[Folder\\shell\\Random Playlist]\n"
                                    "\n"
                                    "[Folder\\shell\\Random Playlist\\command]\n"
                                    "@=1:/usr/bin/mixgen /P:%1\\0\n");
}

// Catches a text that comes back changed, a terminator kept in the text or not stored, and
// names that do not ignore case as the desktop's do.
TEST_F(RegistryTest, TextsRoundTripAndAreStoredWithTheirTerminator) {
    CreateRegKey(HKEY_CLASSES_ROOT, kCommand);
    const QStringList texts = {"",           "x",
                               " padded ",   "C:\\old\\style",
                               "a=b;c#d[e]", QString::fromUtf8("Café ♫ %1"),
                               "two\nlines"};
    for (const QString& text : texts) {
        const RegKey key = OpenRegKey(HKEY_CLASSES_ROOT, kCommand);
        EXPECT_EQ(SetTypedValue(key, "Name", REG_SZ, text), ERROR_SUCCESS);
        const RegValue value = QueryTypedValue(key, "Name");
        EXPECT_EQ(value.kind, RegValue::Kind::Text);
        EXPECT_EQ(value.text, text);
        EXPECT_EQ(storedValue(kCommand, "Name"), "1:" + text.toUtf8() + '\0');
    }
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "default", REG_SZ);
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "@", "named at", REG_SZ);
    EXPECT_EQ(read(kCommand), "default");
    EXPECT_EQ(read(kCommand, "@"), "named at");
    EXPECT_EQ(read("FOLDER\\Shell\\random playlist\\COMMAND", "name"), "two\nlines");
    EXPECT_EQ(read("\\Folder\\\\shell\\Random Playlist\\command\\"), "default")
        << "empty levels are skipped";
}

// Catches writes that create keys, reads of missing things that give anything but empty
// text, and deletes of missing keys reported as success.
TEST_F(RegistryTest, MissingKeysAndValues) {
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "lost", REG_SZ);
    EXPECT_FALSE(QFile::exists(treeFile())) << "a write to a missing key stored something";
    EXPECT_EQ(read(kCommand), "");
    const RegValue missingKey = ReadRegValue(HKEY_CLASSES_ROOT, kCommand, "");
    EXPECT_EQ(missingKey.kind, RegValue::Kind::Text);
    EXPECT_TRUE(missingKey.text.isEmpty());
    EXPECT_NE(DeleteRegKey(HKEY_CLASSES_ROOT, kCommand), ERROR_SUCCESS);
    EXPECT_FALSE(QDir(registryFolder()).exists()) << "a failed delete made the tree's folder";

    CreateRegKey(HKEY_CLASSES_ROOT, kEntry);
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "lost", REG_SZ);
    EXPECT_FALSE(OpenRegKey(HKEY_CLASSES_ROOT, kCommand).isOpen());
    EXPECT_EQ(read(kCommand), "");
    EXPECT_EQ(read(kEntry, "NoSuchValue"), "");
    EXPECT_FALSE(readFile(treeFile()).contains("lost"));

    EXPECT_FALSE(OpenRegKey(0x80000001u, "Software").isOpen()) << "a root this layer lacks";
    EXPECT_EQ(SetTypedValue(RegKey{}, "", REG_SZ, "x"), ERROR_INVALID_HANDLE);
    EXPECT_EQ(QueryTypedValue(RegKey{}, "").kind, RegValue::Kind::Text);
}

// Catches numbers stored in the wrong form, texts that are no 32-bit number being stored,
// and values of other types read as something.
TEST_F(RegistryTest, NumbersAndOtherTypes) {
    CreateRegKey(HKEY_CLASSES_ROOT, kEntry);
    const RegKey key = OpenRegKey(HKEY_CLASSES_ROOT, kEntry);
    const struct {
        const char* text;
        std::int32_t number;
    } numbers[] = {{"42", 42},
                   {" -7 ", -7},
                   {"2.5", 2},
                   {"3.5", 4},
                   {"2147483647", 2147483647},
                   {"-2147483648", -2147483647 - 1}};
    for (const auto& n : numbers) {
        EXPECT_EQ(SetTypedValue(key, "Count", REG_DWORD, n.text), ERROR_SUCCESS);
        const RegValue value = QueryTypedValue(key, "Count");
        EXPECT_EQ(value.kind, RegValue::Kind::Number) << n.text;
        EXPECT_EQ(value.number, n.number) << n.text;
        EXPECT_EQ(value.toText(), QString::number(n.number));
    }
    EXPECT_EQ(storedValue(kEntry, "Count"), QByteArray("4:\x00\x00\x00\x80", 6));

    for (const char* bad : {"abc", "", "12abc", "2147483648", "-2147483649"}) {
        EXPECT_NE(SetTypedValue(key, "Count", REG_DWORD, bad), ERROR_SUCCESS) << bad;
        EXPECT_EQ(QueryTypedValue(key, "Count").number, -2147483647 - 1) << bad;
    }

    EXPECT_EQ(SetTypedValue(key, "Binary", 3, "data"), ERROR_SUCCESS);
    EXPECT_FALSE(storedValue(kEntry, "Binary")) << "a type this layer does not handle was stored";

    writeFile(treeFile(), readFile(treeFile()) + "Expand=2:%PATH%\\0\nWide=4:\\x01\\0\\0\\0\\0\n");
    EXPECT_EQ(QueryTypedValue(key, "Expand").kind, RegValue::Kind::None);
    EXPECT_EQ(QueryTypedValue(key, "Expand").toText(), "");
    EXPECT_EQ(QueryTypedValue(key, "Wide").kind, RegValue::Kind::None) << "too big for a DWORD";
}

// Catches a reader that keeps the last character of a text stored without a terminator, or
// crashes on an empty or mangled value line.
TEST_F(RegistryTest, TextsStoredByHandAreReadAsTheDesktopReadsThem) {
    writeFile(treeFile(), "[Folder\\shell\\Hand]\n"
                          "NoTerminator=1:abc\n"
                          "Empty=1:\n"
                          "OnlyTerminator=1:\\0\n"
                          "NoType=abc\n"
                          "BadType=x:abc\\0\n"
                          "line without meaning\n");
    const RegKey key = OpenRegKey(HKEY_CLASSES_ROOT, "Folder\\shell\\Hand");
    ASSERT_TRUE(key.isOpen());
    EXPECT_EQ(QueryTypedValue(key, "NoTerminator").text, "ab");
    const RegValue empty = QueryTypedValue(key, "Empty");
    EXPECT_EQ(empty.kind, RegValue::Kind::Text);
    EXPECT_EQ(empty.text, "");
    EXPECT_EQ(QueryTypedValue(key, "OnlyTerminator").text, "");
    EXPECT_EQ(QueryTypedValue(key, "NoType").toText(), "");
    EXPECT_EQ(QueryTypedValue(key, "BadType").toText(), "");
    EXPECT_TRUE(OpenRegKey(HKEY_CLASSES_ROOT, "Folder\\shell").isOpen())
        << "a key above a stored key exists";
}

// Catches a delete that leaves the keys below behind, or takes a sibling whose name merely
// starts the same way.
TEST_F(RegistryTest, DeletingAKeyRemovesEverythingBelowIt) {
    CreateRegKey(HKEY_CLASSES_ROOT, kCommand);
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "cmd", REG_SZ);
    const QString sibling = kEntry + " 2\\command";
    CreateRegKey(HKEY_CLASSES_ROOT, sibling);
    WriteRegValue(HKEY_CLASSES_ROOT, sibling, "", "other", REG_SZ);

    EXPECT_EQ(DeleteRegKey(HKEY_CLASSES_ROOT, kEntry.toUpper()), ERROR_SUCCESS);
    EXPECT_FALSE(OpenRegKey(HKEY_CLASSES_ROOT, kEntry).isOpen());
    EXPECT_FALSE(OpenRegKey(HKEY_CLASSES_ROOT, kCommand).isOpen());
    EXPECT_EQ(read(kCommand), "");
    EXPECT_EQ(read(sibling), "other");
    EXPECT_TRUE(OpenRegKey(HKEY_CLASSES_ROOT, "Folder\\shell").isOpen());
    EXPECT_NE(DeleteRegKey(HKEY_CLASSES_ROOT, kEntry), ERROR_SUCCESS);
    EXPECT_NE(DeleteRegKey(HKEY_CLASSES_ROOT, ""), ERROR_SUCCESS) << "the root was deleted";
    EXPECT_EQ(read(sibling), "other");
}

// Catches reads that succeed without write rights (every open asks for them) and writes that
// fail loudly or damage the tree.
TEST_F(RegistryTest, ATreeThatCannotBeWrittenReadsAsEmpty) {
    CreateRegKey(HKEY_CLASSES_ROOT, kCommand);
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "cmd", REG_SZ);
    const QByteArray before = readFile(treeFile());
    const QByteArray folder = QFile::encodeName(registryFolder());
    const QByteArray file = QFile::encodeName(treeFile());
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0755), 0);

    // Writable for everyone first, so the child's emptiness below comes from the rights.
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    ASSERT_EQ(::chmod(file.constData(), 0666), 0);
    EXPECT_EQ(mixgen::test::runUnprivileged([&] { return read(kCommand) == "cmd" ? 0 : 1; }), 0);

    ASSERT_EQ(::chmod(folder.constData(), 0555), 0);
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    EXPECT_EQ(mixgen::test::runUnprivileged([&] {
                  WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "changed", REG_SZ);
                  CreateRegKey(HKEY_CLASSES_ROOT, "Folder\\new");
                  const bool deleted = DeleteRegKey(HKEY_CLASSES_ROOT, kEntry) == ERROR_SUCCESS;
                  const bool empty = read(kCommand).isEmpty();
                  return !deleted && empty ? 0 : 1;
              }),
              0);
    ASSERT_EQ(::chmod(folder.constData(), 0700), 0);
    ASSERT_EQ(::chmod(file.constData(), 0600), 0); // not only root's again
    EXPECT_EQ(readFile(treeFile()), before);
    EXPECT_EQ(read(kCommand), "cmd");

    // A file where the tree's folder belongs stops even root.
    QDir(registryFolder()).removeRecursively();
    writeFile(m_dir.path() + "/MIXGEN", "not a folder");
    CreateRegKey(HKEY_CLASSES_ROOT, kCommand);
    WriteRegValue(HKEY_CLASSES_ROOT, kCommand, "", "cmd", REG_SZ);
    EXPECT_EQ(read(kCommand), "");
    EXPECT_EQ(readFile(m_dir.path() + "/MIXGEN"), "not a folder");
}

// Catches two instances' registry writes overwriting each other.
TEST_F(RegistryTest, ConcurrentWritersLoseNoValue) {
    CreateRegKey(HKEY_CLASSES_ROOT, "Folder\\shell");
    QList<pid_t> children;
    for (int p = 0; p < 8; ++p) {
        children.append(mixgen::test::startChild([p] {
            const QString key = QStringLiteral("Folder\\shell\\Entry %1\\command").arg(p);
            CreateRegKey(HKEY_CLASSES_ROOT, key);
            for (int v = 0; v < 10; ++v)
                WriteRegValue(HKEY_CLASSES_ROOT, key, QString::number(v),
                              QStringLiteral("%1.%2").arg(p).arg(v), REG_SZ);
            return 0;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(mixgen::test::waitForChild(child), 0);
    for (int p = 0; p < 8; ++p) {
        for (int v = 0; v < 10; ++v)
            EXPECT_EQ(
                read(QStringLiteral("Folder\\shell\\Entry %1\\command").arg(p), QString::number(v)),
                QStringLiteral("%1.%2").arg(p).arg(v));
    }
}

} // namespace
