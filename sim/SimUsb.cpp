// The simulated instrument behind the libusb-0.1 entry points: one bus, one device (03EB:0203) whose
// transfers go to the instrument's core (command handling, replies, faults, log). A transfer the
// instrument does not answer fails at once with ETIMEDOUT instead of waiting out its timeout.
#include "SimInstrument.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <set>

// The ten functions get default visibility; everything else in this library stays hidden.
#pragma GCC visibility push(default)
#include <usb.h>
#pragma GCC visibility pop

struct usb_dev_handle {
    bool claimed = false;
};

namespace velda::sim {
namespace {

constexpr std::uint16_t kVendorId = 0x03EB;
constexpr std::uint16_t kProductId = 0x0203;
constexpr int kOutEndpoint = 0x01;
constexpr int kInEndpoint = 0x82;

const char *ScenarioEnv() {
    const char *path = std::getenv("VELDA9_SIM_SCENARIO");
    return (path && *path) ? path : nullptr;
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
        m_core.reload(ScenarioEnv());
        m_deviceListed = false;
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
        const bool present = m_core.scan();
        // The bus list itself changes only here, as with the system library, so a thread walking it is
        // never surprised. A new stay is a newly attached device: the next device number, as the kernel
        // gives one, so a replug between two scans is told from an instrument that stayed.
        const std::int64_t stay = m_core.arrivals();
        const bool replugged = present && m_deviceListed && stay != m_listedStay;
        if (present && stay != m_listedStay) {
            m_device.devnum = static_cast<std::uint8_t>(1 + stay % 127);
            std::snprintf(m_device.filename, sizeof m_device.filename, "%03d", m_device.devnum);
        }
        m_bus.devices = present ? &m_device : nullptr;
        const int changes = present != m_deviceListed || replugged ? 1 : 0;
        m_deviceListed = present;
        m_listedStay = stay;
        return changes;
    }

    usb_bus *busses() {
        std::lock_guard lock(m_mutex);
        return m_busReported ? &m_bus : nullptr;
    }

    usb_dev_handle *open(struct usb_device *device) {
        std::lock_guard lock(m_mutex);
        if (device != &m_device || !m_core.present()) {
            errno = ENODEV;
            return nullptr;
        }
        if (m_core.openError() == OpenError::Access) {
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
        if (m_core.openError() == OpenError::Busy) return failWith(EBUSY);
        return configuration == 1 ? 0 : failWith(EINVAL);
    }

    int claimInterface(usb_dev_handle *handle, int interface) {
        std::lock_guard lock(m_mutex);
        if (find(handle) == m_handles.end()) return -ENODEV;
        if (m_core.openError() == OpenError::Busy) return failWith(EBUSY);
        if (interface != 0) return failWith(EINVAL);
        handle->claimed = true;
        return 0;
    }

    int bulkWrite(usb_dev_handle *handle, int endpoint, const char *bytes, int size) {
        std::lock_guard lock(m_mutex);
        if (const int refused = checkTransfer(handle, endpoint, kOutEndpoint, bytes, size)) return refused;
        const int result =
            m_core.write(reinterpret_cast<const std::uint8_t *>(bytes), static_cast<std::size_t>(size));
        return result < 0 ? failWith(-result) : result;
    }

    int bulkRead(usb_dev_handle *handle, int endpoint, char *bytes, int size) {
        std::lock_guard lock(m_mutex);
        if (const int refused = checkTransfer(handle, endpoint, kInEndpoint, bytes, size)) return refused;
        const auto done =
            m_core.read(reinterpret_cast<std::uint8_t *>(bytes), static_cast<std::size_t>(size));
        return done.error != 0 ? failWith(done.error) : static_cast<int>(done.count);
    }

private:
    static int failWith(int error) {
        errno = error;
        return -error;
    }

    // A changed scenario counts as a newly attached instrument at the next device scan.
    void ensureLoaded() {
        if (m_core.ensureLoaded(ScenarioEnv())) m_deviceListed = false;
    }

    std::set<std::unique_ptr<usb_dev_handle>>::iterator find(usb_dev_handle *handle) {
        return std::find_if(m_handles.begin(), m_handles.end(),
                            [handle](const auto &owned) { return owned.get() == handle; });
    }

    int checkTransfer(usb_dev_handle *handle, int endpoint, int expected, const void *bytes, int size) {
        if (find(handle) == m_handles.end()) return failWith(ENODEV);
        if (!handle->claimed) return failWith(m_core.openError() == OpenError::Busy ? EBUSY : EPERM);
        if (endpoint != expected || size < 0 || (size > 0 && !bytes)) return failWith(EINVAL);
        return 0;
    }

    std::mutex m_mutex;
    SimInstrument m_core;
    usb_bus m_bus{};
    struct usb_device m_device {};
    bool m_busReported = false;
    bool m_deviceListed = false;
    std::int64_t m_listedStay = 0;
    std::set<std::unique_ptr<usb_dev_handle>> m_handles;
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
