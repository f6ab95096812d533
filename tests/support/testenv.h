#pragma once

#include <QString>

namespace mixgen::test {

// The private folder this test program runs in. The shared main points HOME,
// XDG_CONFIG_HOME, XDG_DATA_HOME, XDG_RUNTIME_DIR and TEMP below it, so no test ever
// touches the real user's files.
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

} // namespace mixgen::test
