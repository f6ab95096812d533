#include "core/settingkeys.h"
#include "core/settingsstore.h"
#include "platform/lockedfile.h"

#include "childprocess.h"
#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::writeFile;

namespace {

class SettingsStoreTest : public ::testing::Test {
protected:
    QString path() const { return m_dir.filePath("MIXGEN/MIXGEN.ini"); }
    SettingsStore store() const { return SettingsStore(path()); }

    QTemporaryDir m_dir;
};

const QStringList& awkwardTexts() {
    static const QStringList texts = {
        "plain",
        "a;b;c;",
        "back\\slash\\",
        "\\n is not a line break",
        "key=value=more",
        "#not a comment",
        ";not a comment either",
        "[Settings]",
        "\"quoted\" and 'single'",
        "  leading and trailing  ",
        " ",
        "\t",
        "line one\nline two\r\nline three\r",
        QString::fromUtf8("Ærøskøbing – Café – 日本語 – ♫"),
        QString(QChar(0)) + "nul",
        "/home/ann/Music;/srv/mp3/",
    };
    return texts;
}

// Catches escaping faults: any of these texts read back changed, or one write disturbing
// another key.
TEST_F(SettingsStoreTest, AwkwardTextsReadBackUnchanged) {
    const SettingsStore settings = store();
    const QStringList& texts = awkwardTexts();
    for (qsizetype i = 0; i < texts.size(); ++i)
        settings.SaveSetting(keys::kSettings, QStringLiteral("K%1").arg(i), texts[i]);
    for (qsizetype i = 0; i < texts.size(); ++i)
        EXPECT_EQ(settings.GetSetting(keys::kSettings, QStringLiteral("K%1").arg(i)), texts[i]);

    // The texts work as key and section names too.
    for (const QString& text : texts)
        settings.SaveSetting(text, text, "v:" + text);
    for (const QString& text : texts)
        EXPECT_EQ(settings.GetSetting(text, text), "v:" + text) << text.toStdString();
}

// Catches a file that a person could not read or edit: sections and plain values must look
// like ordinary INI lines.
TEST_F(SettingsStoreTest, TheFileStaysReadable) {
    const SettingsStore settings = store();
    settings.SaveSetting(keys::kSettings, keys::kOpenWith, "Winamp");
    settings.SaveSetting(keys::kSettings, keys::kPlayerPath, "/opt/player/bin/player");
    settings.SaveSetting(keys::kPathMRU, "A", "/home/ann/Music;/srv/mp3");
    EXPECT_EQ(readFile(path()), "[Settings]\n"
                                "OpenWith=Winamp\n"
                                "Winamp.exe=/opt/player/bin/player\n"
                                "\n"
                                "[PathMRU]\n"
                                "A=/home/ann/Music;/srv/mp3\n");
}

// Catches an empty value being taken for a missing one, or a default that leaks into keys
// that exist.
TEST_F(SettingsStoreTest, MissingIsNotEmpty) {
    const SettingsStore settings = store();
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kSplashScreen, "1"), "1") << "no file";
    settings.SaveSetting(keys::kSettings, keys::kPlayerPath, "");
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kPlayerPath, "default"), "");
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction, "None"), "None") << "no key";
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kPlayerPath, "x"), "x") << "no section";
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kFolders), "") << "default omitted";
    EXPECT_EQ(settings.GetSetting("settings", keys::kPlayerPath, "other case"), "other case");
}

// Catches a save that adds a second line instead of replacing the first, or a delete that
// leaves a value behind, touches other keys, or writes a file for a key that is not there.
TEST_F(SettingsStoreTest, SaveOverwritesAndDeleteRemovesOneKey) {
    const SettingsStore settings = store();
    settings.DeleteSetting(keys::kLoader, keys::kIsLoader);
    EXPECT_FALSE(QFile::exists(path())) << "deleting a missing key wrote a file";

    settings.SaveSetting(keys::kLoader, keys::kIsLoader, "True");
    settings.SaveSetting(keys::kLoader, keys::kFolders, "/a");
    settings.SaveSetting(keys::kLoader, keys::kFolders, "/a;/b");
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kFolders), "/a;/b");
    EXPECT_EQ(readFile(path()).count("Folders="), 1);

    settings.DeleteSetting(keys::kLoader, keys::kIsLoader);
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kIsLoader, "gone"), "gone");
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kFolders), "/a;/b");

    const QByteArray before = readFile(path());
    settings.DeleteSetting(keys::kLoader, keys::kIsLoader);
    settings.DeleteSetting("NoSuchSection", "x");
    EXPECT_EQ(readFile(path()), before);
}

// Catches a parser that gives up on a hand-edited file, or a write that throws away the
// lines it does not understand.
TEST_F(SettingsStoreTest, HandEditedFilesStillWork) {
    writeFile(path(), "garbage before any section\n"
                      "[Settings]\r\n"
                      "SplashScreen = 0\r\n"
                      "=== nonsense ===\n"
                      "\x01\x02\xff\xfe binary junk\n"
                      "[Settings\n"
                      "; OpenWith=Winamp\n"
                      "Ext3=1\n");
    const SettingsStore settings = store();
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kSplashScreen, "1"), "0");
    EXPECT_EQ(settings.GetSetting(keys::kSettings, "Ext3", "0"), "1");
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kOpenWith, "Explorer"), "Explorer");

    settings.SaveSetting(keys::kSettings, keys::kAction, "Play");
    const QByteArray after = readFile(path());
    EXPECT_TRUE(after.contains("garbage before any section\n"));
    EXPECT_TRUE(after.contains("\x01\x02\xff\xfe binary junk\n"));
    EXPECT_TRUE(after.contains("; OpenWith=Winamp\n"));
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction), "Play");
    EXPECT_EQ(settings.GetSetting(keys::kSettings, "Ext3"), "1");
}

// Catches the store looking in the wrong place, or ignoring XDG_CONFIG_HOME.
TEST(SettingsStoreLocation, FollowsTheConfigFolderOfTheEnvironment) {
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(dir.path()));
    EXPECT_EQ(SettingsStore::defaultFilePath(), dir.path() + "/MIXGEN/MIXGEN.ini");
    SettingsStore().SaveSetting(keys::kSettings, keys::kAction, "Play");
    EXPECT_TRUE(QFile::exists(dir.path() + "/MIXGEN/MIXGEN.ini"));

    qunsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(SettingsStore::defaultFilePath(), QDir::homePath() + "/.config/MIXGEN/MIXGEN.ini");
    qputenv("XDG_CONFIG_HOME", "relative/path");
    EXPECT_EQ(SettingsStore::defaultFilePath(), QDir::homePath() + "/.config/MIXGEN/MIXGEN.ini");
    qputenv("XDG_CONFIG_HOME", saved);
}

// Catches a failed write that damages the file or stops the program, and a write over a file
// that could not be read (which would lose every other key).
TEST_F(SettingsStoreTest, FailedWritesChangeNothing) {
    writeFile(m_dir.filePath("blocked"), "x");
    const SettingsStore nowhere(m_dir.filePath("blocked/MIXGEN.ini"));
    nowhere.SaveSetting(keys::kSettings, keys::kAction, "Play");
    nowhere.DeleteSetting(keys::kSettings, keys::kAction);
    EXPECT_EQ(nowhere.GetSetting(keys::kSettings, keys::kAction, "None"), "None");

    const SettingsStore settings = store();
    settings.SaveSetting(keys::kSettings, keys::kAction, "Play");
    const QByteArray before = readFile(path());
    writeFile(storeTempPath(path()) + "/occupied", "x"); // no temporary file can be made
    settings.SaveSetting(keys::kSettings, keys::kAction, "Enqueue");
    settings.SaveSetting(keys::kSettings, keys::kOpenWith, "Winamp");
    EXPECT_EQ(readFile(path()), before);
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction), "Play");
    QDir(storeTempPath(path())).removeRecursively();

    // A file its owner may write but not read: a write must not replace it.
    const QByteArray folder = QFile::encodeName(m_dir.path());
    const QByteArray file = QFile::encodeName(path());
    ASSERT_EQ(::chmod(folder.constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.filePath("MIXGEN")).constData(), 0777), 0);
    ASSERT_EQ(::chmod(file.constData(), 0222), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(storeLockPath(path())).constData(), 0666), 0);
    const int rc = mixgen::test::runUnprivileged([&] {
        settings.SaveSetting(keys::kSettings, keys::kOpenWith, "Winamp");
        return settings.GetSetting(keys::kSettings, keys::kAction, "unread") == "unread" ? 0 : 1;
    });
    ASSERT_EQ(::chmod(file.constData(), 0600), 0);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(readFile(path()), before);
}

// Catches a cache: a write by another process must be seen by the very next read.
TEST_F(SettingsStoreTest, AnotherProcessWriteIsSeenAtOnce) {
    const SettingsStore settings = store();
    settings.SaveSetting(keys::kLoader, keys::kFolders, "/first");
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kFolders), "/first");
    const pid_t child = mixgen::test::startChild([&] {
        SettingsStore(path()).SaveSetting(keys::kLoader, keys::kFolders, "/first;/second");
        SettingsStore(path()).SaveSetting(keys::kLoader, keys::kIsLoader, "True");
        return 0;
    });
    ASSERT_EQ(mixgen::test::waitForChild(child), 0);
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kFolders), "/first;/second");
    EXPECT_EQ(settings.GetSetting(keys::kLoader, keys::kIsLoader), "True");
}

// Catches lost updates between instances: without the lock and the reread, writers that
// overlap drop each other's keys.
TEST_F(SettingsStoreTest, ConcurrentWritersLoseNoKey) {
    constexpr int kProcesses = 10;
    constexpr int kKeysEach = 20;
    store().SaveSetting(keys::kSettings, keys::kOpenWith, "Winamp");
    QList<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.append(mixgen::test::startChild([&, p] {
            const SettingsStore settings(path());
            for (int k = 0; k < kKeysEach; ++k)
                settings.SaveSetting(QStringLiteral("S%1").arg(p % 3),
                                     QStringLiteral("P%1K%2").arg(p).arg(k),
                                     QStringLiteral("value %1/%2").arg(p).arg(k));
            return 0;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(mixgen::test::waitForChild(child), 0);

    const SettingsStore settings = store();
    for (int p = 0; p < kProcesses; ++p) {
        for (int k = 0; k < kKeysEach; ++k) {
            EXPECT_EQ(settings.GetSetting(QStringLiteral("S%1").arg(p % 3),
                                          QStringLiteral("P%1K%2").arg(p).arg(k), "missing"),
                      QStringLiteral("value %1/%2").arg(p).arg(k));
        }
    }
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kOpenWith), "Winamp");
}

// Catches a write that is not atomic: a writer killed at any moment must leave the old or
// the new file, every key whole, and must not leave the lock taken.
TEST_F(SettingsStoreTest, AKilledWriterLeavesAWholeFile) {
    const SettingsStore settings = store();
    const QString big(200000, u'x'); // long writes, so that kills land mid-write
    for (int k = 0; k < 5; ++k)
        settings.SaveSetting("Fixed", QStringLiteral("K%1").arg(k), big + QString::number(k));

    QRandomGenerator random(7);
    for (int round = 0; round < 30; ++round) {
        const pid_t child = mixgen::test::startChild([&] {
            const SettingsStore writer(path());
            for (int n = 0;; ++n)
                writer.SaveSetting("Churn", QStringLiteral("K%1").arg(n % 7),
                                   big + QStringLiteral("#%1").arg(n));
            return 0;
        });
        ::usleep(random.bounded(1000, 30000));
        ::kill(child, SIGKILL);
        EXPECT_EQ(mixgen::test::waitForChild(child), -1);

        for (int k = 0; k < 5; ++k) {
            EXPECT_EQ(settings.GetSetting("Fixed", QStringLiteral("K%1").arg(k)),
                      big + QString::number(k))
                << "round " << round;
        }
        for (int k = 0; k < 7; ++k) {
            const QString churn = settings.GetSetting("Churn", QStringLiteral("K%1").arg(k));
            EXPECT_TRUE(churn.isEmpty() || (churn.startsWith(big) && churn.size() > big.size() + 1))
                << "round " << round << " key " << k;
        }
    }
    settings.SaveSetting("After", "K", "written"); // would hang if the lock were left taken
    EXPECT_EQ(settings.GetSetting("After", "K"), "written");
}

// Catches a pipe or device put where the settings file belongs blocking the program in open
// (nobody ever writes into it), and such a file being replaced or going unreported.
TEST_F(SettingsStoreTest, APipeInPlaceOfTheFileNeverBlocks) {
    ASSERT_TRUE(QDir().mkpath(m_dir.filePath("MIXGEN")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    const SettingsStore settings = store();
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction, "None"), "None");
    settings.SaveSetting(keys::kSettings, keys::kAction, "Play");
    struct stat info {};
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
    EXPECT_FALSE(settings.fileProblem().isEmpty());
    EXPECT_TRUE(store().fileProblem().contains("not a regular file"));
}

// Catches several keys of one section written one by one: processes editing them at the same
// time must each see the whole result of the others (here: every append survives, none twice).
TEST_F(SettingsStoreTest, SectionEditsAreOneStep) {
    constexpr int kProcesses = 12;
    QList<pid_t> children;
    for (int p = 0; p < kProcesses; ++p) {
        children.append(mixgen::test::startChild([&, p] {
            SettingsStore(path()).UpdateSection("List", {"Count", "Items"}, [p](QStringList& v) {
                v[1] += QStringLiteral("<%1>").arg(p);
                v[0] = QString::number(v[0].toInt() + 1);
            });
            return 0;
        }));
    }
    for (pid_t child : children)
        EXPECT_EQ(mixgen::test::waitForChild(child), 0);
    const SettingsStore settings = store();
    EXPECT_EQ(settings.GetSetting("List", "Count"), QString::number(kProcesses));
    const QString items = settings.GetSetting("List", "Items");
    for (int p = 0; p < kProcesses; ++p)
        EXPECT_EQ(items.count(QStringLiteral("<%1>").arg(p)), 1) << items.toStdString();
}

} // namespace

namespace {

// Bytes this process has read from files so far.
qint64 bytesReadSoFar() {
    QFile io("/proc/self/io");
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return -1;
}

} // namespace

// Catches every read rereading and reparsing the whole file (a big file made each request take
// minutes): a request's many reads and its writes read the file once, and a change made by
// another process is still seen by the next read.
TEST_F(SettingsStoreTest, ReadsReuseTheParseWhileTheFileStaysTheSame) {
    QByteArray big = "[Settings]\nAction=Play\n[Filler]\n";
    for (int i = 0; big.size() < 2 * 1024 * 1024; ++i)
        big += "key" + QByteArray::number(i) + "=a value that takes some room\n";
    writeFile(path(), big);
    const SettingsStore settings = store();
    const qint64 before = bytesReadSoFar();
    ASSERT_GE(before, 0);
    for (int i = 0; i < 40; ++i)
        EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction), "Play");
    settings.SaveSetting(keys::kSettings, keys::kOpenWith, "Winamp");
    settings.SaveSetting(keys::kSettings, keys::kAction, "Enqueue");
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kOpenWith), "Winamp");
    EXPECT_LT(bytesReadSoFar() - before, 2 * big.size()) << "the file was read again";

    const pid_t child = mixgen::test::startChild([&] {
        SettingsStore(path()).SaveSetting(keys::kSettings, keys::kAction, "Play");
        return 0;
    });
    ASSERT_EQ(mixgen::test::waitForChild(child), 0);
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction), "Play");
}

// Catches a read-only settings file replaced by a write (even root's: its owner said so), and
// an unreadable one ignored without a word; each is named in the start-up warning.
TEST_F(SettingsStoreTest, ReadOnlyAndUnreadableFilesAreLeftAloneAndNamed) {
    const SettingsStore settings = store();
    settings.SaveSetting(keys::kSettings, keys::kAction, "Play");
    EXPECT_TRUE(settings.fileWarning().isEmpty()) << settings.fileWarning().toStdString();
    const QByteArray file = QFile::encodeName(path());
    ASSERT_EQ(::chmod(file.constData(), 0444), 0);
    struct stat was {};
    ASSERT_EQ(::stat(file.constData(), &was), 0);
    settings.SaveSetting(keys::kSettings, keys::kAction, "Enqueue");
    settings.DeleteSetting(keys::kSettings, keys::kAction);
    struct stat now {};
    ASSERT_EQ(::stat(file.constData(), &now), 0);
    EXPECT_EQ(now.st_ino, was.st_ino) << "the read-only file was replaced";
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction), "Play");
    EXPECT_TRUE(settings.fileWarning().contains("It is read-only."))
        << settings.fileWarning().toStdString();

    // Unreadable to an ordinary user: said, and never replaced. Only root has another user
    // to hand the file to.
    if (::geteuid() != 0)
        GTEST_SKIP() << "the rest needs a user other than the file's owner";
    ASSERT_EQ(::chmod(file.constData(), 0600), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.path()).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(m_dir.filePath("MIXGEN")).constData(), 0777), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(storeLockPath(path())).constData(), 0666), 0);
    const int rc = mixgen::test::runUnprivileged([&] {
        if (!settings.fileProblem().startsWith("It cannot be read: "))
            return 1;
        if (!settings.fileWarning().contains("neither read nor saved"))
            return 2;
        settings.SaveSetting(keys::kSettings, keys::kAction, "Enqueue");
        return 0;
    });
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(settings.GetSetting(keys::kSettings, keys::kAction), "Play");
}
