// Soak of the download path in one process: consecutive archive downloads from the simulated instrument
// (clean ones and ones with the simulator's link faults: failed transfers, bad record checks, a late
// instrument) followed by project save/load cycles. Prints resident memory, threads and open file
// descriptors at the start and the end, and fails when any of them grew (memory beyond 5 %).
// Usage: velda_soak_download [DOWNLOADS] [SAVE_LOAD_CYCLES]   (default 200 200)
#include "InlineUi.h"
#include "archive/ArchiveDownload.h"
#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

using namespace velda;
using velda::bench::InlineUi;

namespace {

struct ProcessFigures {
    long rssKb = 0;
    long threads = 0;
    long fds = 0;
};

ProcessFigures Measure() {
    ProcessFigures figures;
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") status >> figures.rssKb;
        if (key == "Threads:") status >> figures.threads;
    }
    for ([[maybe_unused]] const auto &entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++figures.fds;
    return figures;
}

// The scenarios the downloads cycle through: a clean archive and the link faults of the simulator.
const char *const kScenarios[] = {
    R"({"firmware_date": "13.03.2018", "generate": {"records": 300, "seed": 1}})",
    R"({"firmware_date": "13.03.2018", "generate": {"records": 300, "seed": 2},
        "faults": {"fail": [{"command": "record", "index": 150, "stage": "data"}]}})",
    R"({"firmware_date": "13.03.2018", "generate": {"records": 300, "seed": 3},
        "faults": {"bad_crc_records": [3, 77, 299]}})",
    R"({"firmware_date": "01.06.2015", "generate": {"records": 300, "seed": 4},
        "faults": {"fail": [{"command": "param", "stage": "length"}]}})",
    R"({"firmware_date": "12.12.2016", "generate": {"records": 300, "seed": 5},
        "faults": {"fail": [{"command": "version", "stage": "write", "times": 2}]}})",
    R"({"firmware_date": "13.03.2018", "generate": {"records": 300, "seed": 6},
        "faults": {"absent_ms": 20}})",
};

struct DownloadTally {
    int filled = 0;
    int failed = 0;
};

void Download(const std::string &scenarioPath, int index, ArchiveTable &shown, DownloadTally &tally,
              InlineUi &ui) {
    const char *text = kScenarios[static_cast<std::size_t>(index) % std::size(kScenarios)];
    std::ofstream(scenarioPath, std::ios::trunc) << text;
    CancelRequested = false;
    auto download = std::make_shared<ArchiveDownload>(shown);
    ExchangeSetup setup;
    setup.ui = &ui;
    setup.sleeper = [](std::chrono::milliseconds) {};
    setup.handOver = download->handOver();
    if (StartArchiveRead(std::move(setup), {}) != StartResult::Started ||
        !WaitForExchange(std::chrono::minutes(5))) {
        std::fprintf(stderr, "download %d did not end\n", index);
        std::exit(1);
    }
    if (download->swapInto(shown))
        ++tally.filled;
    else
        ++tally.failed;
}

void SaveLoad(const QString &path, const ArchiveTable &table) {
    if (!SaveProject(table, path, ChannelFlags{true, true}).ok()) {
        std::fprintf(stderr, "save failed\n");
        std::exit(1);
    }
    ArchiveTable loaded;
    const auto result = ReadProject(loaded, path);
    if (!result.ok() || loaded.rowCount() != table.rowCount()) {
        std::fprintf(stderr, "load failed\n");
        std::exit(1);
    }
}

void Print(const char *when, const ProcessFigures &f) {
    std::printf("%-6s resident %ld kB, %ld threads, %ld open file descriptors\n", when, f.rssKb, f.threads,
                f.fds);
}

} // namespace

int main(int argc, char **argv) {
    const int downloads = argc > 1 ? std::atoi(argv[1]) : 200;
    const int cycles = argc > 2 ? std::atoi(argv[2]) : 200;
    QTemporaryDir dir;
    const std::string scenario = QDir(dir.path()).filePath(QStringLiteral("soak.json")).toStdString();
    const QString project = QDir(dir.path()).filePath(QStringLiteral("soak.vd"));
    ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
    LibUSB.useSimulator(true);

    InlineUi ui(false);
    ArchiveTable shown;
    DownloadTally tally;
    // One round of everything first, so that what is allocated once (the library, the record arrays,
    // the allocator's pools) is in the start figures.
    for (int i = 0; i < static_cast<int>(std::size(kScenarios)); ++i)
        Download(scenario, i, shown, tally, ui);
    SaveLoad(project, shown);
    const ProcessFigures start = Measure();
    Print("start", start);

    const auto begin = std::chrono::steady_clock::now();
    tally = {};
    for (int i = 0; i < downloads; ++i)
        Download(scenario, i, shown, tally, ui);
    for (int i = 0; i < cycles; ++i)
        SaveLoad(project, shown);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();

    ShutdownDeviceLink();
    const ProcessFigures end = Measure();
    Print("end", end);
    std::printf("%d downloads (%d filled the table, %d handed nothing over, %d message boxes), %d save/load "
                "cycles in %.1f s\n",
                downloads, tally.filled, tally.failed, ui.boxes, cycles, seconds);
    const double growth =
        100.0 * static_cast<double>(end.rssKb - start.rssKb) / static_cast<double>(start.rssKb);
    std::printf("resident memory %+.1f %%, threads %+ld, file descriptors %+ld\n", growth,
                end.threads - start.threads, end.fds - start.fds);
    const bool flat = growth <= 5.0 && end.threads <= start.threads && end.fds <= start.fds;
    std::printf("%s\n", flat ? "flat" : "GROWTH");
    return flat ? 0 : 1;
}
