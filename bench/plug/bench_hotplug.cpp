// Time from the instrument joining the bus to the source's arrived signal and to the download's start,
// for the scan (the simulated instrument joining at a random moment, the scan at its interval in force,
// 2 s by default) and for udev (the emulated instrument's add uevent, the download through the system's
// libusb-0.1 on the emulated usbfs device). "Started" is the download's start as the window and watch
// make it (ArrivalRules, then StartArchiveRead); "opened" is the exchange holding the open instrument,
// after its fixed 300 ms pause. Runs itself again under umockdev's preload when started without it.
// Usage: velda_bench_hotplug [ROUNDS]   (default 10 each)
#include "UsbfsInstrument.h"
#include "device/Exchange.h"
#include "device/LibUsbBinding.h"
#include "plug/ArrivalRules.h"
#include "plug/HotplugSource.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace velda;
using Clock = std::chrono::steady_clock;

namespace {

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

void RunUntil(const std::function<bool()> &done) {
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (done()) loop.quit();
    });
    poll.start(1);
    QTimer::singleShot(60000, &loop, &QEventLoop::quit);
    loop.exec();
}

struct Figures {
    std::vector<double> arrived, started, opened;
};

// Wires `source` as a program does: each arrival that the rules allow starts a download. `joined` is
// when the instrument joined the bus in the round under way.
class Round {
public:
    Round(HotplugSource &source, Figures &figures) : m_figures(figures) {
        QObject::connect(&source, &HotplugSource::arrived, [this] { onArrived(); });
        QObject::connect(&source, &HotplugSource::left, [this] { m_rules.instrumentLeft(); });
    }
    void expectJoin(Clock::time_point joined) {
        m_joined = joined;
        m_done = false;
    }
    [[nodiscard]] bool done() const { return m_done && !ExchangeRunning(); }

private:
    void onArrived() {
        const auto arrived = Clock::now();
        m_rules.instrumentArrived();
        if (!m_rules.shouldStart(ExchangeRunning(), false)) return;
        m_rules.downloadStarted();
        ExchangeSetup setup;
        setup.sleeper = [this, calls = std::make_shared<int>(0)](std::chrono::milliseconds ms) {
            if (++*calls == 2) m_opened.store(Clock::now());
            std::this_thread::sleep_for(ms);
        };
        if (StartArchiveRead(std::move(setup), {}) != StartResult::Started) return;
        const auto started = Clock::now();
        if (m_joined == Clock::time_point{}) return; // the instrument there at start: no join to time
        m_figures.arrived.push_back(Ms(arrived - m_joined));
        m_figures.started.push_back(Ms(started - m_joined));
        const Clock::time_point joined = m_joined;
        QTimer::singleShot(0, [this, joined] {
            RunUntil([] { return !ExchangeRunning(); });
            m_figures.opened.push_back(Ms(m_opened.load() - joined));
            m_done = true;
        });
    }

    Figures &m_figures;
    ArrivalRules m_rules;
    Clock::time_point m_joined{};
    std::atomic<Clock::time_point> m_opened{};
    bool m_done = false;
};

void Print(const char *name, const Figures &f) {
    for (const auto &[what, values] : {std::pair{"arrived", &f.arrived}, std::pair{"started", &f.started},
                                       std::pair{"opened", &f.opened}}) {
        if (values->empty()) continue;
        double sum = 0;
        for (double v : *values)
            sum += v;
        std::printf("%-5s join to %-8s mean %8.1f  max %8.1f  min %8.1f ms over %zu\n", name, what,
                    sum / static_cast<double>(values->size()),
                    *std::max_element(values->begin(), values->end()),
                    *std::min_element(values->begin(), values->end()), values->size());
    }
}

void WriteScenario(const std::string &path, int absentMs) {
    std::ofstream(path) << R"({"firmware_date": "13.03.2018", "generate": {"records": 3, "format": 2}, )"
                        << R"("faults": {"absent_ms": )" << absentMs << "}}";
}

} // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 10;
    if (rounds < 1 || rounds > 1000) {
        std::fprintf(stderr, "usage: %s [ROUNDS 1..1000]\n", argv[0]);
        return 2;
    }
    if (!sim::UsbfsInstrument::EnsurePreloaded(argv)) return 1;
    ::unsetenv("VELDA9_USB_LIBRARY");
    QCoreApplication app(argc, argv);
    ExchangeRegistry exchanges;
    QTemporaryDir dir;

    // udev: the emulated instrument pulled and plugged in again by its uevents.
    Figures udev;
    {
        const std::string scenario = QDir(dir.path()).filePath(QStringLiteral("udev.json")).toStdString();
        WriteScenario(scenario, 0);
        sim::UsbfsInstrument bed(scenario);
        const auto source = MakeHotplugSource(HotplugChoice::Udev);
        if (source->kind() != QStringLiteral("udev")) {
            std::fprintf(stderr, "udev's monitor cannot be set up here\n");
        } else {
            Round round(*source, udev);
            source->start();
            RunUntil([&] { return source->present() && !ExchangeRunning(); });
            for (int i = 0; i < rounds; ++i) {
                bed.sendUevent("remove");
                RunUntil([&] { return !source->present(); });
                round.expectJoin(Clock::now());
                bed.sendUevent("add");
                RunUntil([&] { return round.done(); });
            }
        }
        StopExchange();
        LibUSB.UnloadDriver();
    }

    // scan: the simulated instrument joins a random time after its scenario was loaded.
    Figures scan;
    LibUSB.useSimulator(true);
    std::mt19937 random(7);
    const auto interval = ScanInterval();
    std::uniform_int_distribution<int> delay(100, 100 + static_cast<int>(interval.count()));
    for (int i = 0; i < rounds; ++i) {
        const int absentMs = delay(random);
        const std::string scenario =
            QDir(dir.path()).filePath(QStringLiteral("scan%1.json").arg(i)).toStdString();
        WriteScenario(scenario, absentMs);
        ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
        // Loads the scenario now: the instrument joins absentMs from here.
        static_cast<void>(LibUSB.InstrumentOnBus());
        const auto joined = Clock::now() + std::chrono::milliseconds(absentMs);
        const auto source = MakeHotplugSource(HotplugChoice::Automatic);
        Round round(*source, scan);
        round.expectJoin(joined);
        source->start();
        RunUntil([&] { return round.done(); });
    }
    ShutdownDeviceLink();

    std::printf("rounds %d each; scan interval %lld ms\n", rounds, static_cast<long long>(interval.count()));
    Print("udev", udev);
    Print("scan", scan);
    return 0;
}
