// Times a full archive download through the system's libusb-0.1 from the simulated instrument emulated
// at usbfs, against the floor the pauses alone set, and how long an unanswered transfer lasts before the
// library discards it. Runs itself again under umockdev's preload when started without it.
#include "InlineUi.h"
#include "UsbfsInstrument.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"

#include <QDir>
#include <QTemporaryDir>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

using namespace velda;
using velda::bench::InlineUi;

namespace {

double Ms(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

} // namespace

int main(int argc, char **argv) {
    int records = 2688;
    if (argc > 1) records = std::atoi(argv[1]);
    if (records < 1 || records > 2688) {
        std::fprintf(stderr, "usage: %s [RECORDS 1..2688]\n", argv[0]);
        return 2;
    }
    if (!sim::UsbfsInstrument::EnsurePreloaded(argv)) return 1;
    ::unsetenv("VELDA9_USB_LIBRARY");

    QTemporaryDir dir;
    const std::string scenario = QDir(dir.path()).filePath(QStringLiteral("bench.json")).toStdString();
    std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "generate": {"records": )" << records
                            << R"(, "format": 2, "seed": 7}})";
    sim::UsbfsInstrument device(scenario);

    ExchangeRegistry exchanges;
    InlineUi ui;
    std::uint32_t received = 0;
    ExchangeSetup setup;
    setup.ui = &ui;
    setup.handOver = [&](const ReceivedArchive &archive) { received = archive.recordCount; };

    const auto start = std::chrono::steady_clock::now();
    if (StartArchiveRead(std::move(setup), {}) != StartResult::Started) {
        std::fprintf(stderr, "the exchange did not start\n");
        return 1;
    }
    if (!WaitForExchange(std::chrono::hours(1))) {
        std::fprintf(stderr, "the exchange did not end\n");
        return 1;
    }
    const double totalMs = Ms(std::chrono::steady_clock::now() - start);

    // Reads with no reply pending: the instrument NAKs, the library waits out its 500 ms and discards.
    constexpr int kTimeouts = 20;
    std::vector<double> returned;
    if (LibUSB.OpenDevice().ok()) {
        std::uint8_t buffer[4];
        for (int i = 0; i < kTimeouts; ++i) {
            const auto begin = std::chrono::steady_clock::now();
            const int result = LibUSB.BulkRead(buffer, sizeof buffer);
            returned.push_back(Ms(std::chrono::steady_clock::now() - begin));
            if (result >= 0) std::fprintf(stderr, "an unanswered read returned %d\n", result);
        }
    }
    ShutdownDeviceLink();

    // 300 + 300 (connect), 80 (version), 50 (parameters), 50 before the loop, 50 per record.
    const double floorMs = 300 + 300 + 80 + 50 + 50 + 50.0 * records;
    std::printf("link                  libusb-0.1.so.4 on the emulated usbfs device\n");
    std::printf("records requested     %d\n", records);
    std::printf("records received      %u (status %u, %d message boxes)\n", received,
                static_cast<unsigned>(ExchangeStatus.load()), ui.boxes);
    std::printf("download time         %.1f ms\n", totalMs);
    std::printf("floor set by pauses   %.1f ms\n", floorMs);
    std::printf("ratio to floor        %.4f\n", totalMs / floorMs);
    std::printf("per record overhead   %.3f ms\n", (totalMs - floorMs) / records);

    std::vector<double> discarded;
    for (const auto delay : device.discardDelays())
        discarded.push_back(std::chrono::duration<double, std::milli>(delay).count());
    for (const auto &[name, values] :
         {std::pair{"submit to discard", discarded}, std::pair{"read call returned", returned}}) {
        if (values.empty()) continue;
        const auto [low, high] = std::minmax_element(values.begin(), values.end());
        double sum = 0;
        for (double v : values)
            sum += v;
        std::printf("500 ms timeout, %-18s min %.1f  mean %.1f  max %.1f ms over %zu\n", name, *low,
                    sum / static_cast<double>(values.size()), *high, values.size());
    }
    return received == static_cast<std::uint32_t>(records) ? 0 : 1;
}
