// Benchmark: merging two project files of 100,000 rows each (half of them shared) into a third: load
// both, drop the repeated rows, order by date and time, save. Then the memory and time a merge of many
// inputs takes (20 files of 200,000 rows; target: peak memory at most 1.5 times the output's size),
// measured in a fresh child process of its own. An argument names a folder to keep that merge's output in, so
// that the outputs of two builds can be compared byte for byte.
#include "BenchCommon.h"

#include "archive/MergeProjects.h"
#include "archive/ProjectFile.h"
#include "archive/TableFill.h"
#include "base/ArchiveTable.h"

#include <QString>
#include <QTemporaryDir>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>

using namespace velda;

namespace {

constexpr std::size_t kRows = 100000;
constexpr int kRounds = 5;
constexpr int kManyInputs = 20;
constexpr std::size_t kManyRows = 200000;

bool SaveRecords(const std::vector<std::uint8_t> &records, std::size_t rows, std::size_t first,
                 const QString &path, const SystemFormats &formats) {
    const std::size_t size = kLongRecordSize;
    ArchiveTable table;
    table.setColCount(14);
    for (int c = 0; c < 14; ++c)
        table.setCell(c, 0, QStringLiteral("Header %1").arg(c));
    FillArchiveTable(table, std::span(records).subspan(first * size, rows * size), rows, 2,
                     FillContext{&formats, {}, {}});
    return SaveProject(table, path, ChannelFlags{true, true}).ok();
}

struct ChildRun {
    long peakKb = -1; ///< peak resident memory; -1 when the child failed
    double wallS = 0;
    double cpuS = 0;
};

// Runs this program again in a child process with `arguments` and reports its peak resident memory (which
// the child prints, as its own figure leaves out the memory of this process that it started as), its wall
// time and its CPU time.
ChildRun RunInChild(const QTemporaryDir &dir, const QStringList &arguments) {
    const QByteArray report = QFile::encodeName(dir.filePath(QStringLiteral("child-peak.txt")));
    std::vector<QByteArray> bytes{QByteArray("/proc/self/exe")};
    for (const QString &argument : arguments)
        bytes.push_back(QFile::encodeName(argument));
    std::vector<char *> argv;
    for (QByteArray &argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    const bench::Stopwatch clock;
    const pid_t child = ::fork();
    if (child == 0) {
        const int fd = ::open(report.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd < 0 || ::dup2(fd, STDOUT_FILENO) < 0) ::_exit(127);
        ::execv(argv.front(), argv.data());
        ::_exit(127);
    }
    int status = 0;
    rusage usage{};
    ChildRun run;
    if (child < 0 || ::wait4(child, &status, 0, &usage) != child || !WIFEXITED(status) ||
        WEXITSTATUS(status) != 0)
        return run;
    const auto seconds = [](const timeval &t) {
        return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
    };
    QFile peak(QFile::decodeName(report));
    if (!peak.open(QIODevice::ReadOnly)) return run;
    bool number = false;
    run.peakKb = peak.readAll().trimmed().toLong(&number);
    if (!number) run.peakKb = -1;
    run.wallS = clock.ms() / 1e3;
    run.cpuS = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return run;
}

// Merges `inputs` files of `rows` rows each and prints the memory the merge took beyond an idle child
// against the output's size, and its time. The inputs alternate between two downloads that overlap by
// half, as repeated downloads of one instrument do, so the output keeps 1.5 x `rows` rows however many
// inputs there are.
int MergeMemory(const QTemporaryDir &dir, const SystemFormats &formats, int inputs, std::size_t rows,
                const QString &keepIn) {
    const auto records = bench::GenerateRecords(rows * 3 / 2);
    QStringList files;
    for (int i = 0; i < inputs; ++i) {
        files << dir.filePath(QStringLiteral("m%1.vd").arg(i));
        const bool saved = i < 2 ? SaveRecords(records, rows, static_cast<std::size_t>(i) * (rows / 2),
                                               files.back(), formats)
                                 : QFile::copy(files.at(i % 2), files.back());
        if (!saved) return 1;
    }
    const QString out = dir.filePath(QStringLiteral("m-out.vd"));
    const long idleKb = RunInChild(dir, {QStringLiteral("--idle")}).peakKb;
    const ChildRun merge = RunInChild(dir, QStringList{QStringLiteral("--merge"), out} + files);
    if (idleKb < 0 || merge.peakKb < 0) return 1;
    const double outputKb = static_cast<double>(QFileInfo(out).size()) / 1024.0;
    const double inputKb = static_cast<double>(QFileInfo(files.front()).size()) / 1024.0 * inputs;
    const double ratio = static_cast<double>(merge.peakKb - idleKb) / outputKb;
    std::printf("merge of %d files of %zu rows (%.0f kB in all) into %.0f kB\n", inputs, rows, inputKb,
                outputKb);
    std::printf("  peak memory %ld kB beyond an idle process = %.2f x the output (target at most 1.5: %s)\n",
                merge.peakKb - idleKb, ratio, ratio <= 1.5 ? "met" : "MISSED");
    std::printf("  time        wall %.2f s, CPU %.2f s\n", merge.wallS, merge.cpuS);
    if (!keepIn.isEmpty()) {
        const QString kept = QDir(keepIn).filePath(QStringLiteral("bench-merge-out.vd"));
        QFile::remove(kept);
        if (!QFile::copy(out, kept)) return 1;
        std::printf("  output kept as %s\n", qPrintable(kept));
    }
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    // The child processes of the memory figure: one that only starts, one that merges.
    if (mode == QStringLiteral("--idle") || (mode == QStringLiteral("--merge") && argc > 3)) {
        QStringList inputs;
        for (int i = 3; i < argc; ++i)
            inputs << QString::fromLocal8Bit(argv[i]);
        const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
        if (!inputs.isEmpty() && !MergeProjectFiles(inputs, QString::fromLocal8Bit(argv[2]), formats).ok())
            return 1;
        std::printf("%ld\n", bench::StatusKb("VmHWM"));
        return 0;
    }
    QTemporaryDir dir;
    if (!dir.isValid()) return 1;
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    // 150,000 records a minute apart: the first file holds 0..99,999, the second 50,000..149,999.
    const auto records = bench::GenerateRecords(kRows * 3 / 2);
    const QString a = dir.filePath(QStringLiteral("a.vd"));
    const QString b = dir.filePath(QStringLiteral("b.vd"));
    const QString out = dir.filePath(QStringLiteral("out.vd"));
    if (!SaveRecords(records, kRows, 0, a, formats) || !SaveRecords(records, kRows, kRows / 2, b, formats))
        return 1;

    bench::Best merge;
    int rows = 0;
    for (int round = 0; round < kRounds; ++round) {
        const bench::Stopwatch clock;
        const MergeResult result = MergeProjectFiles({b, a}, out, formats);
        merge.add(clock);
        if (!result.ok()) {
            std::fprintf(stderr, "%s\n", qPrintable(result.error().message));
            return 1;
        }
        rows = result.summary().rows;
    }
    std::printf("merge of two %zu-row project files into %d rows (best of %d)\n", kRows, rows, kRounds);
    std::printf("  load + merge + save  wall %7.1f ms, CPU %7.1f ms (target under 1000 ms)\n", merge.wallMs,
                merge.cpuMs);
    return MergeMemory(dir, formats, kManyInputs, kManyRows, mode);
}
