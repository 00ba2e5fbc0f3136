// Starting the built programs from the end-to-end tests: where they are, the environment of a run against
// the simulated instrument, and a run to its end with its output.
#pragma once

#include <QByteArray>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

namespace velda::test {

/// The folder of the built programs: VELDA9_BIN_DIR, else the build tree's.
inline QString BinDir() {
    const QByteArray fromEnv = qgetenv("VELDA9_BIN_DIR");
    return fromEnv.isEmpty() ? QStringLiteral(VELDA_BIN_DIR) : QString::fromLocal8Bit(fromEnv);
}

/// This process's environment without a USB library override, with `scenario` as the simulator's (none:
/// its demo archive) and the NAME=VALUE pairs of `extra`.
inline QProcessEnvironment SimEnvironment(const QString &scenario = {}, const QStringList &extra = {}) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELDA9_USB_LIBRARY"));
    if (scenario.isEmpty())
        env.remove(QStringLiteral("VELDA9_SIM_SCENARIO"));
    else
        env.insert(QStringLiteral("VELDA9_SIM_SCENARIO"), scenario);
    for (const QString &pair : extra)
        env.insert(pair.section(QLatin1Char('='), 0, 0), pair.section(QLatin1Char('='), 1));
    return env;
}

struct ProcessRun {
    int exitCode = -1; ///< -1 when it was ended by a signal or did not end in time
    QByteArray out;
    QByteArray err;
};

/// Runs `program` to its end (killed after `timeoutMs`).
inline ProcessRun RunProgram(const QString &program, const QStringList &args, const QProcessEnvironment &env,
                             int timeoutMs = 120000) {
    QProcess process;
    process.setProcessEnvironment(env);
    process.start(program, args);
    ProcessRun run;
    if (!process.waitForFinished(timeoutMs)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput();
    run.err = process.readAllStandardError();
    return run;
}

} // namespace velda::test
