#pragma once

#include <QString>

#include <functional>
#include <string>

namespace mixgen::test {

// The private folder this test program runs in. The shared main points HOME,
// XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR, TEMP and TMPDIR below it, so no test ever
// touches the real user's files, and removes it whole when the program ends.
QString sandboxFolder();

// Called by the shared main before any test runs.
void enterSandbox();

// Writes bytes to a file, creating its folders; fails the test when that does not work.
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);

// While it lives, no file of this process (or of the programs it starts) may grow past bytes:
// a write beyond fails as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(long long bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    unsigned long long m_old;
};

// While it lives, the programs this process starts read any folder whose last part is
// folderName only part way: their later reads of it fail with EIO, as on a failing disk (a
// library put into them with LD_PRELOAD).
class FailingFolderReads {
public:
    explicit FailingFolderReads(const QByteArray& folderName);
    ~FailingFolderReads();
    FailingFolderReads(const FailingFolderReads&) = delete;
    FailingFolderReads& operator=(const FailingFolderReads&) = delete;

private:
    QByteArray m_oldPreload;
    QByteArray m_oldAsan;
};

// How a check run in a child process ended: whether it could run at all, whether it held,
// and if not, why.
struct ChildOutcome {
    bool ran = false;
    bool held = false;
    std::string why;
};
// Runs check in a child process whose user can start no more processes or threads (as an
// unprivileged user when this one is root, whom the limit does not hold).
ChildOutcome runAtProcessLimit(const std::function<bool()>& check);

} // namespace mixgen::test
