// The choice of the hot-plug source and what every source shares.
#include "plug/HotplugSource.h"

#include "device/LibUsbBinding.h"
#include "plug/ScanHotplugSource.h"
#include "plug/UdevHotplugSource.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace velda {

std::chrono::milliseconds ScanInterval() {
    const char *text = std::getenv("VELDA9_SCAN_INTERVAL_MS");
    if (!text || !*text) return kDefaultScanInterval;
    int ms = 0;
    const char *end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, ms);
    if (error != std::errc{} || at != end || ms < 1 || ms > 60000) return kDefaultScanInterval;
    return std::chrono::milliseconds(ms);
}

void HotplugSource::reportProblem(const QString &text) {
    if (text == m_problem) return;
    m_problem = text;
    Q_EMIT problem(text);
}

// udev's monitor only hears events where udev runs; in a container without it the scan is the way.
std::unique_ptr<HotplugSource> MakeHotplugSource(HotplugChoice choice, QObject *parent) {
    std::error_code error;
    const bool wanted = choice == HotplugChoice::Udev ||
                        (choice == HotplugChoice::Automatic && std::filesystem::exists("/run/udev", error));
    if (wanted && !LibUSB.simulatorSelected()) {
        if (auto udev = UdevHotplugSource::Create(parent)) return udev;
    }
    return std::make_unique<ScanHotplugSource>(ScanInterval(), parent);
}

} // namespace velda
