// Times a full 2688-record archive download from the simulated instrument with the real pauses and
// compares it with the floor the pauses alone set.
#include "InlineUi.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include <QDir>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>

using namespace velda;
using velda::bench::InlineUi;

namespace {} // namespace

int main(int argc, char **argv) {
    int records = 2688;
    if (argc > 1) records = std::atoi(argv[1]);
    if (records < 1 || records > 2688) {
        std::fprintf(stderr, "usage: %s [RECORDS 1..2688]\n", argv[0]);
        return 2;
    }
    QTemporaryDir dir;
    const std::string scenario = QDir(dir.path()).filePath(QStringLiteral("bench.json")).toStdString();
    std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "generate": {"records": )" << records
                            << R"(, "format": 2, "seed": 7}})";
    ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
    LibUSB.useSimulator(true);

    // The machine's own wake-up latency: plain 50 ms sleeps on a thread of normal priority, measured
    // under the same load, so the exchange's overhead can be told apart from the scheduler's.
    constexpr int kReferenceSleeps = 200;
    double referenceOvershootMs = 0;
    std::thread reference([&] {
        const auto begin = std::chrono::steady_clock::now();
        for (int i = 0; i < kReferenceSleeps; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - begin).count();
        referenceOvershootMs = (ms - 50.0 * kReferenceSleeps) / kReferenceSleeps;
    });
    reference.join();

    ExchangeRegistry exchanges;
    InlineUi ui;
    std::uint32_t received = 0;
    ExchangeSetup setup;
    setup.ui = &ui;
    setup.handOver = [&](const ReceivedArchive &archive) { received = archive.recordCount; };

    const auto start = std::chrono::steady_clock::now();
    const std::clock_t cpuStart = std::clock();
    if (StartArchiveRead(std::move(setup), {}) != StartResult::Started) {
        std::fprintf(stderr, "the exchange did not start\n");
        return 1;
    }
    if (!WaitForExchange(std::chrono::hours(1))) {
        std::fprintf(stderr, "the exchange did not end\n");
        return 1;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    const double cpuMs = 1000.0 * static_cast<double>(std::clock() - cpuStart) / CLOCKS_PER_SEC;
    ShutdownDeviceLink();

    // 300 + 300 (connect), 80 (version), 50 (parameters), 50 before the loop, 50 per record.
    const double floorMs = 300 + 300 + 80 + 50 + 50 + 50.0 * records;
    const double totalMs = std::chrono::duration<double, std::milli>(elapsed).count();
    std::printf("records requested     %d\n", records);
    std::printf("records received      %u (status %u, %d message boxes)\n", received,
                static_cast<unsigned>(ExchangeStatus.load()), ui.boxes);
    std::printf("download time         %.1f ms\n", totalMs);
    std::printf("floor set by pauses   %.1f ms\n", floorMs);
    std::printf("ratio to floor        %.4f\n", totalMs / floorMs);
    std::printf("overhead              %.2f %% (target below 2 %%)\n", (totalMs / floorMs - 1.0) * 100.0);
    std::printf("per record overhead   %.3f ms\n", (totalMs - floorMs) / records);
    std::printf("cpu time of process   %.1f ms (%.3f ms per record)\n", cpuMs, cpuMs / records);
    // One timed pause per record plus five fixed ones; each wakes up late by the scheduler's latency.
    const double expectedLatencyMs = referenceOvershootMs * (records + 5);
    std::printf("plain sleep overshoot %.3f ms per 50 ms sleep on this machine now\n", referenceOvershootMs);
    std::printf("beyond that latency   %.2f %%\n", ((totalMs - expectedLatencyMs) / floorMs - 1.0) * 100.0);
    return received == static_cast<std::uint32_t>(records) ? 0 : 1;
}
