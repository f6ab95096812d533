// The folder context-menu entries: their command lines, what the options window reads back
// from hand-edited ones, Apply that leaves no half entry, the file managers' actions run on
// odd folder names, and the program's run of a named entry for a folder.
#include "app/contextmenu.h"
#include "app/filemanageractions.h"
#include "core/registry.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

namespace mixgen {
namespace {

using test::readFile;
using test::writeFile;

class ContextMenuTest : public ::testing::Test {
protected:
    void SetUp() override {
        m_savedData = qgetenv("XDG_DATA_HOME");
        m_savedTemp = qgetenv("TEMP");
        qputenv("XDG_DATA_HOME", QFile::encodeName(dir.path() + "/data"));
        qputenv("TEMP", QFile::encodeName(dir.path() + "/work"));
        QDir().mkpath(dir.path() + "/work");
    }
    void TearDown() override {
        qputenv("XDG_DATA_HOME", m_savedData);
        qputenv("TEMP", m_savedTemp);
    }

    static QString command(int entry) {
        return ReadRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry), QString()).toText();
    }
    static void setCommand(int entry, const QString& text) {
        CreateRegKey(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry));
        WriteRegValue(HKEY_CLASSES_ROOT, entryCommandKeyPath(entry), QString(), text, REG_SZ);
    }
    static bool actionsExist(int entry) {
        for (const QString& file : fileManagerActionFiles(entryMenuText(entry)))
            if (!QFileInfo(file).isFile() || !QFileInfo(file).isExecutable())
                return false;
        return true;
    }

    QTemporaryDir dir;
    const QString program = QStringLiteral("/opt/My Tools/mixgen");

private:
    QByteArray m_savedData;
    QByteArray m_savedTemp;
};

// The three command lines, character by character, and the number rule of the entries.
TEST_F(ContextMenuTest, CommandLinesAreBuiltExactly) {
    const QString work = dir.path() + "/work/";
    EXPECT_EQ(entryCommandLine(1, "/usr/bin/mixgen", "/var/tmp", "250", true),
              "/usr/bin/mixgen /P:%1 /O:/var/tmp/MIXGEN.M3U /N:250 /S /A /Y /LOADER");
    ASSERT_TRUE(
        ApplyEntries({true, true, true}, entryNumberText("0012"), false, program).isEmpty());
    EXPECT_EQ(command(0), program + " /P:%1 /O:" + work + "MIXGEN.M3U /N:12 /Y /LOADER");
    EXPECT_EQ(command(1), program + " /P:%1 /O:" + work + "MIXGEN.M3U /N:12 /A /Y /LOADER");
    EXPECT_EQ(command(2), program + " /P:%1 /O:" + work + "MIXGEN.M3U /N:12 /E /Y /LOADER");
    for (const char* below : {"", "-5", "0", "abc"})
        EXPECT_EQ(entryNumberText(QString::fromLatin1(below)), "1000") << below;
    EXPECT_EQ(entryNumberText("12abc"), "12");
}

// Hand-edited entries: the last one in table order gives the number, "/N:" last, "/N:"
// followed by "/", no "/N:", and "/S" only as a switch (not inside a path).
TEST_F(ContextMenuTest, LoadReadsHandEditedEntries) {
    EXPECT_EQ(LoadEntries().number, "1000");
    EXPECT_FALSE(LoadEntries().present[0]);

    setCommand(0, "/x/mixgen /P:%1 /O:/t/MIXGEN.M3U /N:40 /S /Y /LOADER");
    EntryOptions loaded = LoadEntries();
    EXPECT_TRUE(loaded.present[0]);
    EXPECT_TRUE(loaded.silent);
    EXPECT_EQ(loaded.number, "40");

    setCommand(2, "/Srv/mixgen /P:%1 /O:/Srv/MIXGEN.M3U /N:75 /E /Y /LOADER");
    loaded = LoadEntries();
    EXPECT_EQ(loaded.present, (std::array<bool, 3>{true, false, true}));
    EXPECT_EQ(loaded.number, "75");
    EXPECT_FALSE(loaded.silent);

    EXPECT_EQ(numberFromCommand("/x/mixgen /P:%1 /N:33"), "33");
    EXPECT_EQ(numberFromCommand("/x/mixgen /P:%1 /N:/S"), "");
    EXPECT_EQ(numberFromCommand("/x/mixgen /P:%1 /N:abc /Y"), "ABC");
    EXPECT_EQ(numberFromCommand("/x/mixgen /P:%1 /Y"), "1000");
}

// Applying writes the actions with the keys and removes both together.
TEST_F(ContextMenuTest, ApplyWritesAndRemovesEntriesWithTheirActions) {
    ASSERT_TRUE(ApplyEntries({true, false, true}, "100", true, program).isEmpty());
    EXPECT_TRUE(actionsExist(0));
    EXPECT_FALSE(QFileInfo::exists(fileManagerActionFiles(entryMenuText(1))[0]));
    EXPECT_TRUE(actionsExist(2));
    EXPECT_TRUE(readFile(fileManagerActionFiles(entryMenuText(0))[0])
                    .contains("Exec=\"/opt/My Tools/mixgen\" --entry \"Random Playlist\" %f"));

    ASSERT_TRUE(ApplyEntries({false, false, false}, "100", true, program).isEmpty());
    for (int entry = 0; entry < kEntryCount; ++entry) {
        EXPECT_FALSE(OpenRegKey(HKEY_CLASSES_ROOT, entryKeyPath(entry)).isOpen());
        for (const QString& file : fileManagerActionFiles(entryMenuText(entry), true))
            EXPECT_FALSE(QFileInfo::exists(file)) << file.toStdString();
    }
}

// A scripts folder that cannot be written: the entry is left out whole (no keys, no Dolphin
// action), the reason is told, and a user's own script of that name is never touched.
TEST_F(ContextMenuTest, FailedActionLeavesNoHalfEntry) {
    const QString scripts = dir.path() + "/data/nautilus/scripts";
    writeFile(scripts, "not a folder");
    const QStringList problems = ApplyEntries({true, false, false}, "5", false, program);
    ASSERT_EQ(problems.size(), 1);
    EXPECT_TRUE(problems[0].startsWith("\"Random Playlist\": ")) << problems[0].toStdString();
    EXPECT_FALSE(OpenRegKey(HKEY_CLASSES_ROOT, entryKeyPath(0)).isOpen());
    EXPECT_FALSE(QFileInfo::exists(fileManagerActionFiles(entryMenuText(0))[0]));

    QFile::remove(scripts);
    writeFile(scripts + "/Play Random Playlist", "#!/bin/sh\necho mine\n");
    EXPECT_EQ(ApplyEntries({false, true, false}, "5", false, program).size(), 1);
    EXPECT_EQ(command(1), "");
    EXPECT_EQ(readFile(scripts + "/Play Random Playlist"), "#!/bin/sh\necho mine\n");
    EXPECT_TRUE(ApplyEntries({false, false, false}, "5", false, program).isEmpty());
    EXPECT_TRUE(QFileInfo::exists(scripts + "/Play Random Playlist"));
}

// The file managers' script starts the program once per selected folder, each folder one
// argument as it is, relative names completed with the folder shown; nothing in a name runs.
TEST_F(ContextMenuTest, ScriptPassesOddFolderNamesAsTheyAre) {
    const QString recorder = dir.path() + "/rec dir/it's";
    const QString records = dir.path() + "/records";
    QDir().mkpath(records);
    writeFile(recorder,
              "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + QFile::encodeName(records) + "/$$\"\n");
    QFile::setPermissions(recorder, QFile::ReadOwner | QFile::ExeOwner);
    const QString script = dir.path() + "/script";
    writeFile(script, folderScript(recorder, entryMenuText(1)));
    QFile::setPermissions(script, QFile::ReadOwner | QFile::ExeOwner);

    const QStringList names = {"-Blues", "Jazz $(touch pwned)", "Café 'Quotes\"", "a;b `x`"};
    for (const QString& name : names)
        QDir(dir.path()).mkdir(name);
    QProcess run;
    run.setWorkingDirectory(dir.path());
    run.start(script, names);
    ASSERT_TRUE(run.waitForFinished(10000));
    QStringList recorded;
    for (int tries = 0; tries < 200 && recorded.size() < names.size(); ++tries) {
        QThread::msleep(20);
        recorded.clear();
        for (const QString& file : QDir(records).entryList(QDir::Files))
            recorded.append(QString::fromUtf8(readFile(records + "/" + file)));
    }
    recorded.sort();
    QStringList expected;
    for (const QString& name : names)
        expected.append("--entry\nPlay Random Playlist\n" + dir.path() + "/" + name + "\n");
    expected.sort();
    EXPECT_EQ(recorded, expected);
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/pwned"));
}

// "--entry": the entry's request with the folder for "%1" (once; a "%1" in the name stays),
// never the program path written in the entry, and clear refusals.
TEST_F(ContextMenuTest, EntryRunBuildsTheRequestOrRefuses) {
    const QString folder = dir.path() + "/Mix %1 -x";
    QDir().mkpath(folder);
    setCommand(0, "/bin/rm -rf /P:%1 /O:/t/MIXGEN.M3U /N:40 /Y /LOADER");
    EntryRun run = resolveEntryRun({"--entry", "Random Playlist", folder});
    EXPECT_TRUE(run.error.isEmpty()) << run.error.toStdString();
    EXPECT_EQ(run.commandLine, "/P:" + folder + " /O:/t/MIXGEN.M3U /N:40 /Y /LOADER");

    EXPECT_FALSE(resolveEntryRun({"/P:/a"}).isEntryRun);
    const auto refusal = [](const QStringList& arguments) {
        const EntryRun refused = resolveEntryRun(arguments);
        return refused.isEntryRun && refused.commandLine.isEmpty() ? refused.error : QString();
    };
    EXPECT_TRUE(refusal({"--entry", "Play Random Playlist", folder}).contains("is not set"));
    EXPECT_TRUE(refusal({"--entry", "Random", folder}).contains("no folder context-menu entry"));
    EXPECT_TRUE(
        refusal({"--entry", "Random Playlist", dir.path() + "/none"}).contains("is not a folder"));
    for (const QString odd : {"Rock; Pop", "Why?", "a /S b"}) {
        QDir(dir.path()).mkpath(odd);
        EXPECT_TRUE(refusal({"--entry", "Random Playlist", dir.path() + "/" + odd})
                        .contains("cannot be searched from the context menu"))
            << odd.toStdString();
    }
    setCommand(0, "nothing here %1");
    EXPECT_TRUE(refusal({"--entry", "Random Playlist", folder}).contains("holds no request"));
}

} // namespace
} // namespace mixgen
