// Finding and starting velda9-plot for the plot command.
#include "cli/PlotProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <unistd.h>

#include <string>
#include <vector>

namespace velda::cli {

QString PlotProgramPath(const QString &programDir) {
    QStringList candidates;
    const QString named = qEnvironmentVariable("VELDA9_PLOT_PROGRAM");
    if (!named.isEmpty()) candidates << named;
    const QDir dir(programDir);
    candidates << dir.filePath(QLatin1String(kPlotProgramName))
               << dir.filePath(QStringLiteral("../lib/velda9/") + QLatin1String(kPlotProgramName));
    for (const QString &candidate : candidates) {
        const QFileInfo file(candidate);
        if (file.isFile() && file.isExecutable()) return QDir::cleanPath(file.absoluteFilePath());
    }
    return {};
}

int RunPlotProgram(const Options &options, const Streams &streams) {
    const QString program = PlotProgramPath(QCoreApplication::applicationDirPath());
    if (program.isEmpty()) {
        PrintError(streams.err, Pick(TxtPlotProgramMissing).arg(QLatin1String(kPlotProgramName)));
        return ExitUsage;
    }
    std::vector<std::string> words{program.toLocal8Bit().toStdString()};
    for (const QString &argument : options.arguments)
        words.push_back(argument.toLocal8Bit().toStdString());
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    argv.push_back(nullptr);
    std::fflush(streams.out);
    std::fflush(streams.err);
    ::execv(argv.front(), argv.data());
    PrintError(streams.err, Pick(TxtPlotProgramMissing).arg(program));
    return ExitUsage;
}

} // namespace velda::cli
