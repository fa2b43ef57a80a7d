#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QStringList>

#include <string>

namespace veq::testing {

// A child program run to its end: whether it ended in time, its exit code (-1 when it crashed
// or was killed) and what it wrote.
struct ProcessRun {
    bool finished = false;
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs `program` and waits for it, at most two minutes; one that does not end by then is killed.
inline ProcessRun run(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment) {
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(program, arguments);
    ProcessRun result;
    result.finished = process.waitForFinished(120'000);
    if (!result.finished) {
        process.kill();
        process.waitForFinished(5'000);
    }
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput().toStdString();
    result.err = process.readAllStandardError().toStdString();
    return result;
}

} // namespace veq::testing
