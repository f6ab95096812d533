#include "platform/filereplacement.h"
#include "platform/folders.h"
#include "platform/leftovers.h"
#include "platform/process.h"

#include "testenv.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace mixgen;
using mixgen::test::readFile;
using mixgen::test::writeFile;

namespace {

class LeftoversTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(QDir().mkpath(path("work")));
        ASSERT_TRUE(QDir().mkpath(path("out")));
        // Writes its pid where it is told, then sleeps as that very process.
        writeFile(path("sleeper.sh"), "#!/bin/sh\necho $$ > \"$1\"\nexec sleep 30\n");
        QFile::setPermissions(path("sleeper.sh"),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QStringList entries(const QString& folder) const {
        return QDir(path(folder))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    // A run in a child process, stopped in the middle: its run folder holds a list, a fresh
    // playlist is half written beside out/Mix.m3u, and the interpreter it waits for sleeps.
    pid_t startRun() {
        const pid_t child = ::fork();
        if (child == 0) {
            const QString run = newRunFolder(path("work") + "/");
            QFile list(run + "mixgen.lst");
            (void)list.open(QIODevice::WriteOnly);
            list.write("/music/a.mp3\r\n");
            list.close();
            FileReplacement playlist(path("out/Mix.m3u"));
            if (run.isEmpty() || !playlist.begin() || !playlist.write("/music/a.mp3\r\n"))
                ::_exit(3);
            RunAndWait({path("sleeper.sh"), path("interpreter.pid")}, [] {});
            ::_exit(0);
        }
        return child;
    }
    // The interpreter's pid, once the run has started it.
    pid_t interpreter() const {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            const QByteArray pid = readFile(path("interpreter.pid")).trimmed();
            if (!pid.isEmpty())
                return pid.toInt();
            QThread::msleep(5);
        }
        return 0;
    }
    // Whether a process has ended (a zombie waiting for whoever adopted it counts as ended).
    static bool endsSoon(pid_t pid) {
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            const QByteArray stat = readFile(QStringLiteral("/proc/%1/stat").arg(pid));
            const qsizetype close = stat.lastIndexOf(')');
            if (stat.isEmpty() || (close > 0 && stat.mid(close + 2, 1) == "Z"))
                return true;
            QThread::msleep(5);
        }
        return false;
    }

    QTemporaryDir m_dir;
};

// Catches a run ended by SIGTERM, SIGHUP or SIGINT that leaves its run folder, its half-written
// fresh playlist or its interpreter behind, or that ends with a status other than the signal's.
TEST_F(LeftoversTest, EndSignalsCleanUpAndEndByTheSignal) {
    for (int signal : {SIGTERM, SIGHUP, SIGINT}) {
        QFile::remove(path("interpreter.pid"));
        const pid_t run = startRun();
        const pid_t sleeper = interpreter();
        ASSERT_GT(sleeper, 0);
        EXPECT_EQ(entries("work").size(), 1);
        EXPECT_EQ(entries("out").size(), 1);
        ASSERT_EQ(::kill(run, signal), 0);
        int status = 0;
        ASSERT_EQ(::waitpid(run, &status, 0), run);
        EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == signal) << signal << " " << status;
        EXPECT_TRUE(endsSoon(sleeper)) << signal;
        EXPECT_EQ(entries("work"), QStringList()) << signal;
        EXPECT_EQ(entries("out"), QStringList()) << signal;
    }
}

// Catches a killed run whose interpreter runs on, and whose run folder and fresh playlist stay
// for ever: the interpreter ends with it, and the next run of the same user removes both, but
// not what a living run still uses.
TEST_F(LeftoversTest, KilledRunEndsItsInterpreterAndTheNextRunRemovesWhatItLeft) {
    const pid_t run = startRun();
    const pid_t sleeper = interpreter();
    ASSERT_GT(sleeper, 0);
    ASSERT_EQ(::kill(run, SIGKILL), 0);
    ASSERT_EQ(::waitpid(run, nullptr, 0), run);
    EXPECT_TRUE(endsSoon(sleeper));
    ASSERT_EQ(entries("work").size(), 1);
    ASSERT_EQ(entries("out").size(), 1);

    // What this process uses now stays.
    const QString living = newRunFolder(path("work") + "/");
    ASSERT_FALSE(living.isEmpty());
    FileReplacement writing(path("out/Mix.m3u"));
    ASSERT_TRUE(writing.begin());
    EXPECT_EQ(entries("work"), QStringList{QDir(living).dirName()});
    EXPECT_EQ(entries("out").size(), 1);
    ASSERT_TRUE(writing.commit("/music/b.mp3\r\n"));
    EXPECT_EQ(entries("out"), QStringList{"Mix.m3u"});
    FileReplacement next(path("out/Mix.m3u"));
    ASSERT_TRUE(next.begin());
    EXPECT_TRUE(QFileInfo::exists(living));
    removeRunFolder(living);
    EXPECT_EQ(entries("work"), QStringList());
}

// Catches a sweep that removes what is not a killed run's of this user: a folder of another
// user, a link, a name without a mark, or a mark of a process that still runs.
TEST_F(LeftoversTest, SweepLeavesWhatIsNotAKilledRunsOwn) {
    const QByteArray gone = "999999999.1";
    ASSERT_TRUE(markedProcessGone(gone));
    ASSERT_FALSE(markedProcessGone(processMark()));
    const QString work = path("work") + "/";
    QStringList kept = {"mixgen-abcdef", "mixgen-" + processMark() + "-abcdef", "other"};
    for (const QString& name : kept)
        ASSERT_TRUE(QDir().mkdir(work + name));
    ASSERT_TRUE(QDir().mkdir(path("elsewhere")));
    ASSERT_TRUE(QFile::link(path("elsewhere"), work + "mixgen-" + gone + "-linked"));
    kept.append("mixgen-" + gone + "-linked");
    if (::geteuid() == 0) {
        const QString others = work + "mixgen-" + gone + "-others";
        ASSERT_TRUE(QDir().mkdir(others));
        ASSERT_EQ(::chown(QFile::encodeName(others).constData(), 4242, 4242), 0);
        kept.append("mixgen-" + gone + "-others");
    }
    writeFile(work + "mixgen-" + gone + "-killed/mixgen.lst", "/music/a.mp3\r\n");

    const QString run = newRunFolder(work);
    kept.append(QDir(run).dirName());
    kept.sort();
    QStringList left = entries("work");
    left.sort();
    EXPECT_EQ(left.join(' ').toStdString(), kept.join(' ').toStdString());
    EXPECT_TRUE(QFileInfo::exists(path("elsewhere")));
    removeRunFolder(run);
}

} // namespace
