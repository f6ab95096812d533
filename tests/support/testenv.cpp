#include "testenv.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>
#include <utility>

namespace mixgen::test {

namespace {
std::unique_ptr<QTemporaryDir>& sandbox() {
    static std::unique_ptr<QTemporaryDir> dir;
    return dir;
}

void pointAt(const char* variable, const QString& folder) {
    QDir().mkpath(folder);
    qputenv(variable, QFile::encodeName(folder));
}

// The process that made the sandbox; a child forked by a test leaves it to its parent.
pid_t& sandboxMaker() {
    static pid_t pid = 0;
    return pid;
}

// The sandbox is removed by the bytes of its names: Qt's removal stops at a name that is no
// UTF-8, which many tests make, and would leave the sandbox behind.
void removeSandbox() {
    if (!sandbox() || ::getpid() != sandboxMaker())
        return;
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(sandbox()->path()).toStdString(), ignored);
}

// Where the sandbox is made: the tests' paths go into shell lines and command lines, which a
// blank or a quote in $TMPDIR would break (a work folder with a blank is refused on purpose, and
// tested on its own), so such a TMPDIR is passed over for /tmp.
QString sandboxParent() {
    const QString temp = QDir::tempPath();
    for (const QChar c : temp) {
        if (!c.isLetterOrNumber() && !QStringLiteral("/._+-").contains(c))
            return QStringLiteral("/tmp");
    }
    return temp;
}
} // namespace

QString sandboxFolder() {
    return sandbox() ? sandbox()->path() : QString();
}

void enterSandbox() {
    sandbox() = std::make_unique<QTemporaryDir>(sandboxParent() + "/mixgen-test-XXXXXX");
    sandbox()->setAutoRemove(false);
    sandboxMaker() = ::getpid();
    std::atexit(removeSandbox);
    const QString root = sandbox()->path();
    // The tests' own temporary folders go below it too, and with it; tests that run a program
    // as an unprivileged user reach theirs there, as in /tmp.
    pointAt("TMPDIR", root + "/tmp");
    ::chmod(QFile::encodeName(root).constData(), 0711);
    ::chmod(QFile::encodeName(root + "/tmp").constData(), 01777);
    pointAt("HOME", root + "/home");
    pointAt("XDG_CONFIG_HOME", root + "/config");
    pointAt("XDG_DATA_HOME", root + "/data");
    pointAt("XDG_RUNTIME_DIR", root + "/runtime");
    pointAt("TEMP", root + "/temp");
    QFile::setPermissions(root + "/runtime",
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

FileSizeLimit::FileSizeLimit(long long bytes) {
    // Ignored, so that the write fails with an error instead of ending the process.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    m_old = limit.rlim_cur;
    limit.rlim_cur = static_cast<rlim_t>(bytes);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit() {
    rlimit limit{};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = static_cast<rlim_t>(m_old);
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

FailingFolderReads::FailingFolderReads(const QByteArray& folderName)
    : m_oldPreload(qgetenv("LD_PRELOAD")), m_oldAsan(qgetenv("ASAN_OPTIONS")) {
    qputenv("LD_PRELOAD", MIXGEN_FOLDER_READ_FAULT);
    qputenv("MIXGEN_TEST_FAILING_FOLDER", folderName);
    // A sanitized interpreter would refuse a library loaded before its runtime.
    qputenv("ASAN_OPTIONS",
            m_oldAsan + (m_oldAsan.isEmpty() ? "" : ":") + "verify_asan_link_order=0");
}

FailingFolderReads::~FailingFolderReads() {
    qunsetenv("MIXGEN_TEST_FAILING_FOLDER");
    for (const auto& [name, old] :
         {std::pair{"LD_PRELOAD", m_oldPreload}, std::pair{"ASAN_OPTIONS", m_oldAsan}}) {
        if (old.isEmpty())
            qunsetenv(name);
        else
            qputenv(name, old);
    }
}

ChildOutcome runAtProcessLimit(const std::function<bool()>& check) {
    constexpr int kCannotRun = 77;
    const pid_t child = ::fork();
    if (child < 0)
        return {false, false, "no child process to run the check in"};
    if (child == 0) {
        const rlimit noMore{1, 1}; // the user's own processes already reach it
        if ((::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ||
            ::setrlimit(RLIMIT_NPROC, &noMore) != 0)
            ::_exit(kCannotRun);
        ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    if (::waitpid(child, &status, 0) != child)
        return {false, false, "the child process was lost"};
    if (WIFEXITED(status) && WEXITSTATUS(status) == kCannotRun)
        return {false, false, "no unprivileged user to run the check as"};
    if (!WIFEXITED(status))
        return {true, false, "the check ended by signal " + std::to_string(WTERMSIG(status))};
    return {true, WEXITSTATUS(status) == 0, WEXITSTATUS(status) == 0 ? "" : "the check failed"};
}

} // namespace mixgen::test
