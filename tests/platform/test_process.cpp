#include "platform/folders.h"
#include "platform/process.h"

#include "testenv.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cerrno>
#include <sys/wait.h>
#include <unistd.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::writeFile;

namespace {

class ProcessTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        // Writes every argument after the first on a line of its own into the first.
        writeScript("args.sh", "#!/bin/sh\nout=\"$1\"\nshift\n"
                               "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$out\"\n");
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void writeScript(const QString& name, const QByteArray& text) {
        writeFile(path(name), text);
        QFile::setPermissions(path(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    // Arguments that a shell would split, expand or run.
    QStringList trickyArguments() const {
        return {"two words",
                "\"quoted\"",
                "it's",
                "x; touch " + path("pwned1"),
                "$(touch " + path("pwned2") + ")",
                "`touch " + path("pwned3") + "`",
                "*",
                "a|b&c>d",
                "",
                "trailing "};
    }
    void expectNothingRan() const {
        for (const char* name : {"pwned1", "pwned2", "pwned3", "d"})
            EXPECT_FALSE(QFileInfo::exists(path(name))) << name;
    }
    // Waits (with a generous limit) for a detached program's output.
    QByteArray awaitFile(const QString& file) const {
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            const QByteArray bytes = readFile(file);
            if (bytes.endsWith('\n'))
                return bytes;
            QThread::msleep(20);
        }
        return {};
    }
    static QByteArray linesOf(const QStringList& lines) {
        QByteArray bytes;
        for (const QString& line : lines)
            bytes += line.toUtf8() + '\n';
        return bytes;
    }

    QTemporaryDir m_dir;
};

bool hasChildren() {
    int status = 0;
    return !(::waitpid(-1, &status, WNOHANG) == -1 && errno == ECHILD);
}

} // namespace

// Catches a lost or invented exit status, and a signal death read as success.
TEST_F(ProcessTest, RunAndWaitReturnsTheExitStatus) {
    StartResult result = RunAndWait({"/bin/sh", "-c", "exit 7"});
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 7);
    EXPECT_TRUE(result.error.isEmpty());

    result = RunAndWait({"sh", "-c", "exit 0"});
    EXPECT_TRUE(result.started) << "programs are found on PATH";
    EXPECT_EQ(result.exitCode, 0);

    result = RunAndWait({"/bin/sh", "-c", "kill -TERM $$"});
    EXPECT_TRUE(result.started);
    EXPECT_EQ(result.exitCode, 128 + SIGTERM);
    EXPECT_FALSE(hasChildren()) << "the ended program must be reaped";
}

// Catches a program that never started being reported as run, or without a reason.
TEST_F(ProcessTest, RunAndWaitReportsWhyAProgramDidNotStart) {
    StartResult result = RunAndWait({path("missing")});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.error, "No such file or directory");

    writeFile(path("not-executable"), "#!/bin/sh\n");
    result = RunAndWait({path("not-executable")});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.error, "Permission denied");

    result = RunAndWait({m_dir.path()});
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.error.isEmpty());

    result = RunAndWait({});
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.error.isEmpty());
}

// Catches arguments passed through a shell: split at blanks, expanded, or run as commands.
TEST_F(ProcessTest, RunAndWaitPassesArgumentsUntouched) {
    const StartResult result =
        RunAndWait(QStringList{path("args.sh"), path("out")} + trickyArguments());
    ASSERT_TRUE(result.started) << result.error.toStdString();
    EXPECT_EQ(readFile(path("out")), linesOf(trickyArguments()));
    expectNothingRan();
}

// Catches a window that freezes while the search runs, or a wait that ends too early.
TEST_F(ProcessTest, RunAndWaitCallsBackWhileTheProgramRuns) {
    int calls = 0;
    const StartResult result =
        RunAndWait({"/bin/sh", "-c", "sleep 0.4; echo x > \"$0\"", path("late")}, [&] { ++calls; });
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_TRUE(QFileInfo::exists(path("late"))) << "returned before the program ended";
    EXPECT_GE(calls, 3) << "about every 50 ms for 400 ms";
    EXPECT_LE(calls, 40);
}

// Catches a batch file handed to exec itself instead of to the batch interpreter.
TEST_F(ProcessTest, BatchFilesGoToTheInterpreter) {
    const QString interpreter = programFolder() + "mixgen-cmd";
    EXPECT_EQ(commandForBatch({"/work/mixgen.bat"}),
              QStringList({interpreter, "/work/mixgen.bat"}));
    EXPECT_EQ(commandForBatch({"/work/JOB.Bat", "x"}),
              QStringList({interpreter, "/work/JOB.Bat", "x"}));
    EXPECT_EQ(commandForBatch({"/work/list.bat.m3u"}), QStringList({"/work/list.bat.m3u"}));
    EXPECT_EQ(commandForBatch({"/work/combat"}), QStringList({"/work/combat"}));
    EXPECT_EQ(commandForBatch({}), QStringList());

    // An executable .bat file must not run as a program of its own.
    writeScript("job.bat", "#!/bin/sh\ntouch \"" + path("ran-directly").toUtf8() + "\"\n");
    RunAndWait({path("job.bat")});
    EXPECT_FALSE(QFileInfo::exists(path("ran-directly")));
}

// Catches arguments passed through a shell by the detached start.
TEST_F(ProcessTest, StartDetachedPassesArgumentsUntouched) {
    const StartResult result =
        startDetached(QStringList{path("args.sh"), path("out")} + trickyArguments());
    ASSERT_TRUE(result.started) << result.error.toStdString();
    EXPECT_EQ(awaitFile(path("out")), linesOf(trickyArguments()));
    expectNothingRan();
}

// Catches exec failures reported as success (the player or xdg-open silently missing).
TEST_F(ProcessTest, StartDetachedReportsExecFailures) {
    StartResult result = startDetached({path("missing"), "x"});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.error, "No such file or directory");

    result = startDetached({"mixgen-no-such-program-on-path"});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.error, "No such file or directory");

    writeFile(path("not-executable"), "#!/bin/sh\n");
    result = startDetached({path("not-executable")});
    EXPECT_FALSE(result.started);
    EXPECT_EQ(result.error, "Permission denied");

    result = startDetached({m_dir.path()});
    EXPECT_FALSE(result.started);
    EXPECT_FALSE(result.error.isEmpty());

    EXPECT_FALSE(startDetached({}).started);
    EXPECT_FALSE(hasChildren()) << "failed starts must leave no zombie";
}

// Catches a detached program left as our zombie or tied to our session and terminal.
TEST_F(ProcessTest, StartDetachedLeavesNoZombieAndOwnSession) {
    const StartResult result =
        startDetached({"sh", "-c", "cut -d' ' -f6 /proc/$$/stat > \"$0\"", path("session")});
    ASSERT_TRUE(result.started) << result.error.toStdString();
    EXPECT_FALSE(hasChildren());
    const QByteArray session = awaitFile(path("session")).trimmed();
    ASSERT_FALSE(session.isEmpty());
    EXPECT_NE(session.toLong(), static_cast<long>(::getsid(0)));
}
