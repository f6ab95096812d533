#pragma once
// Runs the built batch interpreter on a batch file, for the tests of whole runs.

#include "testenv.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

namespace mixgen::test {

struct CmdRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

inline QString cmdProgram() {
    return QStringLiteral(MIXGEN_BIN_DIR "/mixgen-cmd");
}

// Runs program (the interpreter unless given) with the arguments; childSetup runs in the
// child before it starts the program.
// MIXGEN_TEST_WALK_THREADS=N runs the interpreter on N walk threads, unless a test chooses.
inline CmdRun runProgram(const QString& program, const QStringList& arguments,
                         const std::function<void()>& childSetup = {}) {
    QProcess process;
    if (childSetup)
        process.setChildProcessModifier(childSetup);
    QStringList all = arguments;
    const QString threads = qEnvironmentVariable("MIXGEN_TEST_WALK_THREADS");
    if (program == cmdProgram() && !threads.isEmpty() && !arguments.contains("--threads"))
        all = QStringList{"--threads", threads} + arguments;
    process.start(program, all);
    CmdRun run;
    if (!process.waitForStarted(10000)) {
        ADD_FAILURE() << "cannot start " << program.toStdString();
        return run;
    }
    process.closeWriteChannel();
    if (!process.waitForFinished(120000)) {
        ADD_FAILURE() << "the interpreter did not end";
        process.kill();
        process.waitForFinished();
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

// Writes batch to batchPath and runs the interpreter on it.
inline CmdRun runBatch(const QString& batchPath, const QByteArray& batch,
                       const QStringList& options = {}) {
    writeFile(batchPath, batch);
    return runProgram(cmdProgram(), options + QStringList{batchPath});
}

// A dir line as the song search writes it: folder ends in "/", CR LF line end.
inline QByteArray dirLine(const QString& folder, const QByteArray& pattern, const QString& listFile,
                          bool append) {
    return "dir \"" + folder.toUtf8() + pattern + "\" /s /b" + (append ? ">>" : ">") +
           listFile.toUtf8() + "\r\n";
}

} // namespace mixgen::test
