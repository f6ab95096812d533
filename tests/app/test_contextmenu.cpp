// The folder context-menu entries: their command lines, what the options window reads back
// from hand-edited ones, Apply that leaves no half entry, the file managers' actions run on
// odd folder names, and the program's run of a named entry for a folder.
#include "app/contextmenu.h"
#include "app/filemanageractions.h"
#include "core/registry.h"
#include "platform/nameencoding.h"

#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>

#include <gtest/gtest.h>

#include <sys/stat.h>

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

    // A program that records each start, its arguments one a line, in a file of its own.
    QString recorderProgram(const QString& name = "/rec dir/it's") const {
        const QString recorder = dir.path() + name;
        QDir().mkpath(records);
        writeFile(recorder,
                  "#!/bin/sh\nprintf '%s\\n' \"$@\" > \"" + QFile::encodeName(records) + "/$$\"\n");
        QFile::setPermissions(recorder, QFile::ReadOwner | QFile::ExeOwner);
        return recorder;
    }
    // The starts recorded so far, once there are at least this many.
    QStringList recordedStarts(qsizetype atLeast) const {
        QStringList recorded;
        for (int tries = 0; tries < 200 && recorded.size() < atLeast; ++tries) {
            QThread::msleep(tries == 0 ? 0 : 20);
            recorded.clear();
            for (const QString& file : QDir(records).entryList(QDir::Files))
                recorded.append(QString::fromUtf8(readFile(records + "/" + file)));
        }
        return recorded;
    }
    QString writeAction(const QByteArray& bytes) const {
        const QString action = dir.path() + "/action";
        writeFile(action, bytes);
        QFile::setPermissions(action, QFile::ReadOwner | QFile::ExeOwner);
        return action;
    }
    // The words of an Exec value as a launcher splits them: blanks part them, double quotes
    // hold blanks, a backslash there takes the next character as it is, "%%" is "%".
    static QStringList execWords(const QString& exec) {
        QStringList words{QString()};
        bool quoted = false;
        for (qsizetype i = 0; i < exec.size(); ++i) {
            if (quoted && exec[i] == u'\\' && i + 1 < exec.size())
                words.last() += exec[++i];
            else if (exec[i] == u'"')
                quoted = !quoted;
            else if (exec[i] == u' ' && !quoted)
                words.append(QString());
            else
                words.last() += exec[i];
        }
        for (QString& word : words)
            if (word != "%F")
                word.replace("%%", "%");
        return words;
    }

    QTemporaryDir dir;
    const QString records = dir.path() + "/records";
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
                    .contains("Exec=\"/opt/My Tools/mixgen\" --entry \"Random Playlist\" %F"));

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

// The file managers' script starts the program once with every selected folder, each one
// argument as it is, relative names completed with the folder shown; nothing in a name runs.
TEST_F(ContextMenuTest, ScriptPassesOddFolderNamesAsTheyAre) {
    const QString recorder = recorderProgram();
    const QString script = writeAction(folderScript(recorder, entryMenuText(1)));

    const QStringList names = {"-Blues", "Jazz $(touch pwned)", "Café 'Quotes\"", "a;b `x`"};
    for (const QString& name : names)
        QDir(dir.path()).mkdir(name);
    QProcess run;
    run.setWorkingDirectory(dir.path());
    run.start(script, names);
    ASSERT_TRUE(run.waitForFinished(10000));
    QString expected = "--entry\nPlay Random Playlist\n";
    for (const QString& name : names)
        expected += dir.path() + "/" + name + "\n";
    EXPECT_EQ(recordedStarts(1), QStringList{expected});
    EXPECT_FALSE(QFileInfo::exists(dir.path() + "/pwned"));
}

// Catches a click on the empty space of a folder that does nothing (the file manager passes no
// names there), a remote folder taken for the local one the script happens to run in, and a
// script that fails with an error once the program is removed.
TEST_F(ContextMenuTest, ScriptOnTheEmptySpaceAndAfterTheProgramIsGone) {
    const QString recorder = recorderProgram();
    const QString script = writeAction(folderScript(recorder, entryMenuText(0)));
    const QString shown = dir.path() + "/Shown Folder";
    QDir().mkpath(shown);
    const auto runIn = [&](const QString& uri) {
        QProcess run;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("NAUTILUS_SCRIPT_CURRENT_URI", uri);
        run.setProcessEnvironment(env);
        run.setWorkingDirectory(shown);
        run.start(script, {});
        EXPECT_TRUE(run.waitForFinished(10000));
        return std::pair(run.exitCode(), run.readAllStandardError());
    };
    EXPECT_EQ(runIn(QUrl::fromLocalFile(shown).toString()).first, 0);
    EXPECT_EQ(recordedStarts(1), QStringList{"--entry\nRandom Playlist\n" + shown + "\n"});

    QDir(records).removeRecursively();
    QDir().mkpath(records);
    runIn("sftp://host/music");
    const QStringList remote = recordedStarts(1);
    ASSERT_EQ(remote.size(), 1);
    EXPECT_FALSE(remote[0].endsWith("\n" + shown + "\n")) << remote[0].toStdString();

    QFile::remove(recorder);
    const auto [status, errors] = runIn(QUrl::fromLocalFile(shown).toString());
    EXPECT_EQ(status, 0);
    EXPECT_EQ(errors, QByteArray());
}

// Catches a service menu that Dolphin would run once per folder, a name broken on its way
// through the Exec line's quoting, and a TryExec that does not name the program, so that the
// action would stay after the program is removed or vanish while it is there.
TEST_F(ContextMenuTest, ServiceMenuRunsAsDolphinRunsIt) {
    const QString recorder = recorderProgram("/$HOME tools %u");
    const QString menu = QString::fromUtf8(dolphinServiceMenu(recorder, entryMenuText(2)));
    const auto value = [&](const QString& key) {
        for (const QString& line : menu.split(u'\n'))
            if (line.startsWith(key + "="))
                return line.mid(key.size() + 1).replace("\\\\", "\\"); // the file's escape
        return QString();
    };
    EXPECT_EQ(value("TryExec"), recorder);

    const QStringList folders = {dir.path() + "/Rock & Roll", dir.path() + "/\"quoted\" $PATH",
                                 dir.path() + "/back\\slash 100%"};
    QStringList arguments;
    for (const QString& word : execWords(value("Exec")))
        arguments += word == "%F" ? folders : QStringList{word};
    ASSERT_EQ(arguments.size(), 3 + folders.size()) << value("Exec").toStdString();
    QProcess run;
    run.start(arguments.takeFirst(), arguments);
    ASSERT_TRUE(run.waitForFinished(10000));
    EXPECT_EQ(recordedStarts(1),
              QStringList{"--entry\nEnqueue Random Playlist\n" + folders.join(u'\n') + "\n"});
}

// Catches actions written by an earlier version (one start per folder, no TryExec) that stay
// in their old form, an update that names this copy of the program instead of the one the
// entry names, and an update that touches a user's own file or makes actions that were gone.
TEST_F(ContextMenuTest, OldActionsAreRewrittenForTheProgramTheEntryNames) {
    const QString elsewhere = "/usr/lib/mixgen/mixgen";
    setCommand(0, elsewhere + " /P:%1 /O:/t/MIXGEN.M3U /N:40 /Y /LOADER");
    setCommand(1, elsewhere + " /P:%1 /O:/t/MIXGEN.M3U /N:40 /A /Y /LOADER");
    const QStringList files = fileManagerActionFiles(entryMenuText(0));
    const QByteArray old = "[Desktop Entry]\n# Made by MP3 Tunepicker for its folder context-menu "
                           "entry.\nExec=/usr/lib/mixgen/mixgen --entry \"Random Playlist\" %f\n";
    writeFile(files[0], old);
    const QByteArray mine = "#!/bin/sh\necho my own\n";
    writeFile(files[1], mine);
    ASSERT_EQ(outdatedFileManagerActions(elsewhere, entryMenuText(0)), QStringList{files[0]});

    updateOutdatedEntryActions();
    EXPECT_EQ(readFile(files[0]), dolphinServiceMenu(elsewhere, entryMenuText(0)));
    EXPECT_EQ(readFile(files[1]), mine);
    for (const QString& file : fileManagerActionFiles(entryMenuText(1)))
        EXPECT_FALSE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_TRUE(outdatedFileManagerActions(elsewhere, entryMenuText(0)).isEmpty());
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

// Catches folders picked together that are run one at a time or cut to the first, a folder
// the command line cannot carry let through beside others, and a folder whose name is not
// valid UTF-8 reported as "not a folder".
TEST_F(ContextMenuTest, EntryRunTakesEveryFolderWithEveryByte) {
    setCommand(0, program + " /P:%1 /O:/t/MIXGEN.M3U /N:40 /Y /LOADER");
    const QString rock = dir.path() + "/Rock";
    const QString blues = dir.path() + "/Blues Live";
    QDir().mkpath(rock);
    QDir().mkpath(blues);
    const QByteArray latin1 = QFile::encodeName(dir.path()) + "/Caf\xe9";
    ASSERT_EQ(::mkdir(latin1.constData(), 0700), 0);
    const QString cafe = decodeFileName(latin1);

    const EntryRun run = resolveEntryRun({"--entry", "Random Playlist", rock, blues, cafe});
    EXPECT_EQ(run.error, QString());
    EXPECT_EQ(run.commandLine,
              "/P:" + rock + ";" + blues + ";" + cafe + " /O:/t/MIXGEN.M3U /N:40 /Y /LOADER");
    EXPECT_TRUE(encodeFileName(run.commandLine).contains(latin1));

    QDir().mkpath(dir.path() + "/Rock; Pop");
    EXPECT_TRUE(resolveEntryRun({"--entry", "Random Playlist", rock, dir.path() + "/Rock; Pop"})
                    .error.contains("cannot be searched from the context menu"));
    EXPECT_TRUE(resolveEntryRun({"--entry", "Random Playlist", rock, dir.path() + "/gone"})
                    .error.contains("is not a folder"));
    EXPECT_TRUE(resolveEntryRun({"--entry", "Random Playlist"}).error.startsWith("Usage:"));
}

} // namespace
} // namespace mixgen
