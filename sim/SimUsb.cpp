// The simulated instrument behind the libusb-0.1 entry points: one bus, one device (03EB:0203) that
// answers the instrument's commands with framed replies, keeps the clock payload, injects the faults of
// its scenario and logs every command as one JSON line.
#include "SimScenario.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fstream>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>

// The ten functions get default visibility; everything else in this library stays hidden.
#pragma GCC visibility push(default)
#include <usb.h>
#pragma GCC visibility pop

struct usb_dev_handle {
    bool claimed = false;
};

namespace velda::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr std::uint16_t kVendorId = 0x03EB;
constexpr std::uint16_t kProductId = 0x0203;
constexpr int kOutEndpoint = 0x01;
constexpr int kInEndpoint = 0x82;
constexpr std::size_t kClockPayloadBytes = 6;

const char *ScenarioEnv() {
    const char *path = std::getenv("VELDA9_SIM_SCENARIO");
    return (path && *path) ? path : nullptr;
}

// Identifies the scenario file as it is now, so a changed file or variable is noticed.
std::string ScenarioKey() {
    const char *path = ScenarioEnv();
    if (!path) return {};
    struct stat info {};
    std::string key = path;
    if (::stat(path, &info) == 0)
        key += "|" + std::to_string(info.st_size) + "|" + std::to_string(info.st_mtim.tv_sec) + "." +
               std::to_string(info.st_mtim.tv_nsec);
    return key;
}

CalendarDay Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

class Instrument {
public:
    Instrument() {
        std::strcpy(m_bus.dirname, "001");
        std::strcpy(m_device.filename, "001");
        m_device.bus = &m_bus;
        m_device.devnum = 1;
        m_device.descriptor.bLength = USB_DT_DEVICE_SIZE;
        m_device.descriptor.bDescriptorType = USB_DT_DEVICE;
        m_device.descriptor.bcdUSB = 0x0200;
        m_device.descriptor.bDeviceClass = 0xFF;
        m_device.descriptor.bMaxPacketSize0 = 64;
        m_device.descriptor.idVendor = kVendorId;
        m_device.descriptor.idProduct = kProductId;
        m_device.descriptor.bcdDevice = 0x0100;
        m_device.descriptor.bNumConfigurations = 1;
        m_bus.location = 1;
    }

    void init() {
        std::lock_guard lock(m_mutex);
        load();
    }

    int findBusses() {
        std::lock_guard lock(m_mutex);
        ensureLoaded();
        if (m_busReported) return 0;
        m_busReported = true;
        return 1;
    }

    int findDevices() {
        std::lock_guard lock(m_mutex);
        ensureLoaded();
        const bool present = devicePresent();
        if (m_absentScansLeft > 0) --m_absentScansLeft;
        m_bus.devices = present ? &m_device : nullptr;
        const int changes = present != m_deviceListed ? 1 : 0;
        m_deviceListed = present;
        return changes;
    }

    usb_bus *busses() {
        std::lock_guard lock(m_mutex);
        return m_busReported ? &m_bus : nullptr;
    }

    usb_dev_handle *open(struct usb_device *device) {
        std::lock_guard lock(m_mutex);
        if (device != &m_device || !devicePresent()) {
            errno = ENODEV;
            return nullptr;
        }
        if (m_scenario.openError == OpenError::Access) {
            errno = EACCES;
            return nullptr;
        }
        auto handle = std::make_unique<usb_dev_handle>();
        usb_dev_handle *raw = handle.get();
        m_handles.insert(std::move(handle));
        return raw;
    }

    int close(usb_dev_handle *handle) {
        std::lock_guard lock(m_mutex);
        const auto it = find(handle);
        if (it == m_handles.end()) return -ENODEV;
        m_handles.erase(it);
        return 0;
    }

    int setConfiguration(usb_dev_handle *handle, int configuration) {
        std::lock_guard lock(m_mutex);
        if (find(handle) == m_handles.end()) return -ENODEV;
        if (m_scenario.openError == OpenError::Busy) return failWith(EBUSY);
        return configuration == 1 ? 0 : failWith(EINVAL);
    }

    int claimInterface(usb_dev_handle *handle, int interface) {
        std::lock_guard lock(m_mutex);
        if (find(handle) == m_handles.end()) return -ENODEV;
        if (m_scenario.openError == OpenError::Busy) return failWith(EBUSY);
        if (interface != 0) return failWith(EINVAL);
        handle->claimed = true;
        return 0;
    }

    int bulkWrite(usb_dev_handle *handle, int endpoint, const char *bytes, int size) {
        std::lock_guard lock(m_mutex);
        if (const int refused = checkTransfer(handle, endpoint, kOutEndpoint, bytes, size)) return refused;
        const auto *data = reinterpret_cast<const std::uint8_t *>(bytes);
        const Bytes message(data, data + size);

        if (m_awaitingClockPayload && message.size() == kClockPayloadBytes) {
            m_awaitingClockPayload = false;
            if (takeFault(Command::Clock, std::nullopt, Stage::Data)) {
                log({{"command", "clock"}, {"fault", "data"}});
                return failWith(ETIMEDOUT);
            }
            m_clockPayload = message;
            m_clockSetAt = Clock::now();
            log({{"command", "clock"}, {"payload", message}, {"payload_hex", HexText(message)}});
            return size;
        }
        m_awaitingClockPayload = false;
        m_reply.clear();

        const auto command = Decode(message);
        if (!command) {
            log({{"command", "unknown"}, {"bytes_hex", HexText(message)}});
            return size; // the instrument ignores what it does not understand; the reply read times out
        }
        std::optional<std::uint32_t> index;
        if (*command == Command::Record) index = static_cast<std::uint32_t>(message[2] | (message[3] << 8));
        if (takeFault(*command, index, Stage::Write)) {
            log(entry(*command, index, "write"));
            return failWith(ETIMEDOUT);
        }
        log(entry(*command, index, nullptr));
        m_replyCommand = *command;
        m_replyIndex = index;
        switch (*command) {
        case Command::Version:
            queueReply(m_scenario.versionReply);
            break;
        case Command::Param:
            queueReply(m_scenario.paramBlock);
            break;
        case Command::Record:
            queueReply(record(*index));
            break;
        case Command::Screen:
            queueReply(screen());
            break;
        case Command::Clock:
            m_awaitingClockPayload = true;
            break;
        }
        return size;
    }

    int bulkRead(usb_dev_handle *handle, int endpoint, char *bytes, int size) {
        std::lock_guard lock(m_mutex);
        if (const int refused = checkTransfer(handle, endpoint, kInEndpoint, bytes, size)) return refused;
        // Nothing to send: a real transfer would wait out its timeout; the simulator answers at once.
        if (m_reply.empty()) return failWith(ETIMEDOUT);
        const Stage stage = m_reply.size() == 2 ? Stage::Length : Stage::Data;
        if (takeFault(m_replyCommand, m_replyIndex, stage)) {
            log(entry(m_replyCommand, m_replyIndex, StageName(stage)));
            m_reply.clear();
            return failWith(ETIMEDOUT);
        }
        Bytes chunk = std::move(m_reply.front());
        m_reply.pop_front();
        const std::size_t count = std::min(chunk.size(), static_cast<std::size_t>(size));
        std::memcpy(bytes, chunk.data(), count);
        return static_cast<int>(count);
    }

private:
    using Json = nlohmann::json;

    static std::string HexText(const Bytes &bytes) {
        static const char digits[] = "0123456789abcdef";
        std::string text;
        for (std::uint8_t b : bytes) {
            text.push_back(digits[b >> 4]);
            text.push_back(digits[b & 0x0F]);
        }
        return text;
    }

    static std::optional<Command> Decode(const Bytes &message) {
        if (message.size() < 2 || message[0] + message[1] != 0xFF) return std::nullopt;
        switch (message[0]) {
        case 0x01:
            return message.size() == 2 ? std::optional(Command::Version) : std::nullopt;
        case 0x02:
            return message.size() == 2 ? std::optional(Command::Param) : std::nullopt;
        case 0x03:
            return message.size() == 4 ? std::optional(Command::Record) : std::nullopt;
        case 0x07:
            return message.size() == 2 ? std::optional(Command::Clock) : std::nullopt;
        case 0x08:
            return message.size() == 2 ? std::optional(Command::Screen) : std::nullopt;
        default:
            return std::nullopt;
        }
    }

    static int failWith(int error) {
        errno = error;
        return -error;
    }

    static Json entry(Command command, std::optional<std::uint32_t> index, const char *fault) {
        Json line{{"command", CommandName(command)}};
        if (index) line["index"] = *index;
        if (fault) line["fault"] = fault;
        return line;
    }

    std::set<std::unique_ptr<usb_dev_handle>>::iterator find(usb_dev_handle *handle) {
        return std::find_if(m_handles.begin(), m_handles.end(),
                            [handle](const auto &owned) { return owned.get() == handle; });
    }

    int checkTransfer(usb_dev_handle *handle, int endpoint, int expected, const void *bytes, int size) {
        if (find(handle) == m_handles.end()) return failWith(ENODEV);
        if (!handle->claimed) return failWith(m_scenario.openError == OpenError::Busy ? EBUSY : EPERM);
        if (endpoint != expected || size < 0 || (size > 0 && !bytes)) return failWith(EINVAL);
        if (!devicePresent()) return failWith(ENODEV);
        return 0;
    }

    Bytes record(std::uint32_t index) const {
        if (index < m_scenario.records.size()) return m_scenario.records[index];
        // An index past the archive reads erased memory.
        return Bytes(RecordBytes(m_scenario.format), 0xFF);
    }

    // The display shows the clock as last set, running on from then.
    Bytes screen() const {
        if (!m_scenario.liveScreen || m_clockPayload.empty()) return m_scenario.screen;
        const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_clockSetAt);
        return BuildScreenImage(m_scenario.latest, ClockAfter(m_clockPayload, elapsed.count()));
    }

    void queueReply(const Bytes &data) {
        const auto length = static_cast<std::uint32_t>(data.size());
        m_reply.push_back(Bytes{static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                                static_cast<std::uint8_t>(length >> 16),
                                static_cast<std::uint8_t>(length >> 24)});
        m_reply.push_back(data);
    }

    bool takeFault(Command command, std::optional<std::uint32_t> index, Stage stage) {
        for (FailRule &rule : m_scenario.fails) {
            if (rule.command != command || rule.stage != stage || rule.timesLeft == 0) continue;
            if (rule.index && rule.index != index) continue;
            if (rule.timesLeft > 0) --rule.timesLeft;
            return true;
        }
        return false;
    }

    bool devicePresent() const {
        if (!m_valid || m_absentScansLeft > 0) return false;
        return Clock::now() - m_epoch >= std::chrono::milliseconds(m_scenario.absentMs);
    }

    void ensureLoaded() {
        if (!m_loaded || ScenarioKey() != m_key) load();
    }

    void load() {
        m_loaded = true;
        m_key = ScenarioKey();
        m_epoch = Clock::now();
        m_reply.clear();
        m_awaitingClockPayload = false;
        m_clockPayload.clear();
        m_logFailed = false;
        m_logSeq = 0;
        // The bus list itself changes only in usb_find_devices, as with the system library, so a thread
        // walking it is never surprised; a new scenario counts as a newly attached instrument there.
        m_deviceListed = false;
        const char *path = ScenarioEnv();
        if (!path) {
            m_scenario = DemoScenario(Today());
            m_absentScansLeft = 0;
            m_valid = true;
            return;
        }
        m_valid = false;
        m_scenario = Scenario{};
        m_absentScansLeft = 0;
        std::ifstream file(path, std::ios::binary);
        std::ostringstream text;
        if (file) text << file.rdbuf();
        if (!file || file.bad()) {
            std::fprintf(stderr, "velda9-sim: scenario %s cannot be read: %s\n", path, std::strerror(errno));
            return;
        }
        auto parsed = ParseScenario(text.str());
        if (auto *error = std::get_if<std::string>(&parsed)) {
            std::fprintf(stderr, "velda9-sim: scenario %s: %s; the instrument stays off the bus\n", path,
                         error->c_str());
            return;
        }
        m_scenario = std::move(std::get<Scenario>(parsed));
        m_absentScansLeft = m_scenario.absentScans;
        m_valid = true;
    }

    void log(Json line) {
        if (m_scenario.logPath.empty()) return;
        line["seq"] = m_logSeq++;
        std::FILE *file = std::fopen(m_scenario.logPath.c_str(), "a");
        if (!file) {
            if (!m_logFailed)
                std::fprintf(stderr, "velda9-sim: log %s cannot be written: %s\n", m_scenario.logPath.c_str(),
                             std::strerror(errno));
            m_logFailed = true;
            return;
        }
        const std::string text = line.dump() + "\n";
        std::fwrite(text.data(), 1, text.size(), file);
        std::fclose(file);
    }

    std::mutex m_mutex;
    usb_bus m_bus{};
    struct usb_device m_device {};
    bool m_loaded = false;
    bool m_valid = false;
    std::string m_key;
    Scenario m_scenario;
    Clock::time_point m_epoch{};
    bool m_busReported = false;
    bool m_deviceListed = false;
    std::int64_t m_absentScansLeft = 0; // device scans that still report no instrument
    std::set<std::unique_ptr<usb_dev_handle>> m_handles;
    std::deque<Bytes> m_reply; // the length chunk, then the data chunk of the pending reply
    Command m_replyCommand = Command::Version;
    std::optional<std::uint32_t> m_replyIndex;
    bool m_awaitingClockPayload = false;
    Bytes m_clockPayload;
    Clock::time_point m_clockSetAt{};
    std::uint64_t m_logSeq = 0;
    bool m_logFailed = false;
};

// Never destroyed: a program may exit while one of its threads is still inside a transfer.
Instrument &TheInstrument() {
    static Instrument *instrument = new Instrument;
    return *instrument;
}

} // namespace
} // namespace velda::sim

using velda::sim::TheInstrument;

extern "C" {

void usb_init(void) {
    TheInstrument().init();
}

int usb_find_busses(void) {
    return TheInstrument().findBusses();
}

int usb_find_devices(void) {
    return TheInstrument().findDevices();
}

struct usb_bus *usb_get_busses(void) {
    return TheInstrument().busses();
}

usb_dev_handle *usb_open(struct usb_device *dev) {
    return TheInstrument().open(dev);
}

int usb_close(usb_dev_handle *dev) {
    return TheInstrument().close(dev);
}

int usb_set_configuration(usb_dev_handle *dev, int configuration) {
    return TheInstrument().setConfiguration(dev, configuration);
}

int usb_claim_interface(usb_dev_handle *dev, int interface) {
    return TheInstrument().claimInterface(dev, interface);
}

int usb_bulk_write(usb_dev_handle *dev, int ep, const char *bytes, int size, int /*timeout*/) {
    return TheInstrument().bulkWrite(dev, ep, bytes, size);
}

int usb_bulk_read(usb_dev_handle *dev, int ep, char *bytes, int size, int /*timeout*/) {
    return TheInstrument().bulkRead(dev, ep, bytes, size);
}

} // extern "C"
