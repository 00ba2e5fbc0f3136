// The simulated instrument behind an emulated usbfs device node. The client's libusb-0.1 submits one
// bulk URB per transfer and polls for its completion; an URB the instrument answers completes at once,
// one it does not answer (a NAK) stays pending until the client discards it after its timeout.
#include "UsbfsInstrument.h"

#include "SimInstrument.h"

#include <umockdev.h>

#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>

namespace velda::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int kOutEndpoint = 0x01;
constexpr int kInEndpoint = 0x82;
constexpr int kConfiguration = 1;
constexpr unsigned kInterface = 0;
// The most one URB of the client library moves; a larger request is refused, never buffered.
constexpr int kMaxUrbBytes = 16384;

// Device, configuration, interface and the two bulk endpoints, as the node serves them to the library's
// descriptor reads and sysfs lists them. umockdev needs the hex in upper case.
constexpr const char *kDescriptorsHex = "12010002FF000040EB030302000100000001"
                                        "090220000101008032"
                                        "0904000002FF000000"
                                        "07050102400000"
                                        "07058202400000";

constexpr const char *kDevicePath = "/devices/pci0000:00/0000:00:14.0/usb1/1-1";

std::string Description() {
    return std::string("P: ") + kDevicePath +
           "\n"
           "N: bus/usb/001/002=" +
           kDescriptorsHex +
           "\n"
           "E: DEVNAME=/dev/bus/usb/001/002\n"
           "E: DEVTYPE=usb_device\n"
           "E: DRIVER=usb\n"
           "E: PRODUCT=3eb/203/100\n"
           "E: TYPE=255/0/0\n"
           "E: BUSNUM=001\n"
           "E: DEVNUM=002\n"
           "E: MAJOR=189\n"
           "E: MINOR=1\n"
           "E: SUBSYSTEM=usb\n"
           "A: busnum=1\n"
           "A: devnum=2\n"
           "A: idVendor=03eb\n"
           "A: idProduct=0203\n"
           "A: bcdDevice=0100\n"
           "A: bConfigurationValue=1\n"
           "A: bNumConfigurations=1\n"
           "A: speed=12\n"
           "H: descriptors=" +
           kDescriptorsHex + "\n";
}

// One submitted URB, as long as the client has not reaped it.
struct Urb {
    unsigned long address = 0; // in the client
    int endpoint = 0;
    Clock::time_point submitted;
    bool complete = false;
    int status = 0;
    std::vector<std::uint8_t> data; // what an IN URB delivers
    int actualLength = 0;
};

struct Outcome {
    long result = 0;
    int error = 0;
};

Outcome Fail(int error) {
    return {-1, error};
}

struct Unref {
    void operator()(UMockdevIoctlData *data) const { g_object_unref(data); }
};
using Data = std::unique_ptr<UMockdevIoctlData, Unref>;

// The client's memory that the pointer at `offset` inside `parent` points to, copied here; changes to
// the copy go back to the client when the ioctl completes. Null when it cannot be read.
Data Resolve(UMockdevIoctlData *parent, std::size_t offset, std::size_t length) {
    return Data(umockdev_ioctl_data_resolve(parent, offset, length, nullptr));
}

} // namespace

struct UsbfsInstrument::Handler {
    explicit Handler(const std::string &scenarioPath) { core.reload(scenarioPath.c_str()); }

    // umockdev's worker thread: one ioctl of one client.
    Outcome ioctl(UMockdevIoctlClient *client) {
        const unsigned long request = umockdev_ioctl_client_get_request(client);
        UMockdevIoctlData *arg = umockdev_ioctl_client_get_arg(client);
        std::lock_guard lock(mutex);
        if (!core.present()) return Fail(ENODEV);
        const OpenError openError = core.openError();
        // The kernel refuses every request on a node opened without write access.
        if (openError == OpenError::Access) return Fail(EPERM);
        switch (request) {
        case USBDEVFS_SETCONFIGURATION:
        case USBDEVFS_CLAIMINTERFACE: {
            const Data value = Resolve(arg, 0, sizeof(unsigned));
            if (!value) return Fail(EFAULT);
            unsigned number = 0;
            std::memcpy(&number, value->data, sizeof number);
            if (openError == OpenError::Busy) return Fail(EBUSY);
            const unsigned expected =
                request == USBDEVFS_SETCONFIGURATION ? static_cast<unsigned>(kConfiguration) : kInterface;
            return number == expected ? Outcome{} : Fail(EINVAL);
        }
        case USBDEVFS_RELEASEINTERFACE:
            return {};
        case USBDEVFS_SUBMITURB:
            return submit(arg);
        case USBDEVFS_DISCARDURB:
            return discard(arg);
        case USBDEVFS_REAPURB:
        case USBDEVFS_REAPURBNDELAY:
            return reap(arg);
        default:
            return Fail(ENOTTY);
        }
    }

    Outcome submit(UMockdevIoctlData *arg) {
        const Data view = Resolve(arg, 0, sizeof(usbdevfs_urb));
        if (!view) return Fail(EFAULT);
        usbdevfs_urb urb; // filled whole by the copy below
        std::memcpy(&urb, view->data, sizeof urb);
        if (urb.type != USBDEVFS_URB_TYPE_BULK ||
            (urb.endpoint != kOutEndpoint && urb.endpoint != kInEndpoint) || urb.buffer_length < 0 ||
            urb.buffer_length > kMaxUrbBytes)
            return Fail(EINVAL);
        Urb pending;
        pending.address = view->client_addr;
        pending.endpoint = urb.endpoint;
        pending.submitted = Clock::now();
        const auto length = static_cast<std::size_t>(urb.buffer_length);
        if (urb.endpoint == kOutEndpoint) {
            std::vector<std::uint8_t> payload(length);
            if (length > 0) {
                const Data buffer = Resolve(view.get(), offsetof(usbdevfs_urb, buffer), length);
                if (!buffer) return Fail(EFAULT);
                std::memcpy(payload.data(), buffer->data, length);
            }
            const int written = core.write(payload.data(), length);
            if (written == -ENODEV) return Fail(ENODEV);
            if (written >= 0) {
                pending.complete = true;
                pending.actualLength = written;
            }
        } else {
            pending.data.resize(length);
            const SimInstrument::Transfer done = core.read(pending.data.data(), length);
            if (done.error == ENODEV) return Fail(ENODEV);
            if (done.error == 0) {
                pending.complete = true;
                pending.actualLength = static_cast<int>(done.count);
                pending.data.resize(done.count);
                // A device that sends more than the transfer holds babbles: the URB ends in overflow.
                if (done.overflow) pending.status = -EOVERFLOW;
            }
        }
        urbs.push_back(std::move(pending));
        return {};
    }

    Outcome discard(UMockdevIoctlData *arg) {
        unsigned long address = 0;
        std::memcpy(&address, arg->data, std::min(sizeof address, static_cast<std::size_t>(arg->data_len)));
        const auto it =
            std::find_if(urbs.begin(), urbs.end(), [&](const Urb &u) { return u.address == address; });
        if (it == urbs.end() || it->complete) return Fail(EINVAL);
        it->complete = true;
        it->status = -ENOENT;
        it->actualLength = 0;
        it->data.clear();
        discardDelays.push_back(
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - it->submitted));
        return {};
    }

    // Hands the oldest completed URB back: its status, length and received bytes are written into the
    // client's own URB and buffer, and the client's pointer is set to that URB.
    Outcome reap(UMockdevIoctlData *arg) {
        const auto it = std::find_if(urbs.begin(), urbs.end(), [](const Urb &u) { return u.complete; });
        if (it == urbs.end()) return Fail(EAGAIN);
        const Urb done = std::move(*it);
        urbs.erase(it);
        const Data pointer = Resolve(arg, 0, sizeof(void *));
        if (!pointer) return Fail(EFAULT);
        std::memcpy(pointer->data, &done.address, sizeof done.address);
        const Data view = Resolve(pointer.get(), 0, sizeof(usbdevfs_urb));
        if (!view) return Fail(EFAULT);
        usbdevfs_urb urb; // filled whole by the copy below
        std::memcpy(&urb, view->data, sizeof urb);
        const int delivered = std::min(done.actualLength, urb.buffer_length);
        if (done.endpoint == kInEndpoint && delivered > 0) {
            const Data buffer =
                Resolve(view.get(), offsetof(usbdevfs_urb, buffer), static_cast<std::size_t>(delivered));
            if (!buffer) return Fail(EFAULT);
            std::memcpy(buffer->data, done.data.data(), static_cast<std::size_t>(delivered));
        }
        // Only the result fields change; the buffer pointer was swapped for a local copy by the resolve.
        auto *fields = reinterpret_cast<usbdevfs_urb *>(view->data);
        fields->status = done.status;
        fields->actual_length = delivered;
        return {};
    }

    static gboolean OnIoctl(UMockdevIoctlBase *, UMockdevIoctlClient *client, gpointer self) {
        const Outcome outcome = static_cast<Handler *>(self)->ioctl(client);
        umockdev_ioctl_client_complete(client, outcome.result, outcome.error);
        return TRUE;
    }

    mutable std::mutex mutex;
    SimInstrument core;
    std::deque<Urb> urbs;
    std::vector<std::chrono::microseconds> discardDelays;
    UMockdevTestbed *testbed = nullptr;
    UMockdevIoctlBase *base = nullptr;
};

UsbfsInstrument::UsbfsInstrument(const std::string &scenarioPath)
    : m_handler(std::make_unique<Handler>(scenarioPath)) {
    Handler &h = *m_handler;
    h.testbed = umockdev_testbed_new();
    GError *error = nullptr;
    if (!umockdev_testbed_add_from_string(h.testbed, Description().c_str(), &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        g_object_unref(h.testbed);
        throw std::runtime_error("the emulated instrument cannot be added: " + message);
    }
    h.base = umockdev_ioctl_base_new();
    g_signal_connect(h.base, "handle-ioctl", G_CALLBACK(&Handler::OnIoctl), &h);
    if (!umockdev_testbed_attach_ioctl(h.testbed, DeviceNode(), h.base, &error)) {
        const std::string message = error ? error->message : "unknown error";
        g_clear_error(&error);
        g_object_unref(h.base);
        g_object_unref(h.testbed);
        throw std::runtime_error("the emulated instrument's ioctls cannot be attached: " + message);
    }
}

UsbfsInstrument::~UsbfsInstrument() {
    Handler &h = *m_handler;
    umockdev_testbed_detach_ioctl(h.testbed, DeviceNode(), nullptr);
    g_object_unref(h.base);
    g_object_unref(h.testbed);
}

void UsbfsInstrument::sendUevent(const char *action) {
    umockdev_testbed_uevent(m_handler->testbed, (std::string("/sys") + kDevicePath).c_str(), action);
}

const char *UsbfsInstrument::DeviceNode() {
    return "/dev/bus/usb/001/002";
}

const char *UsbfsInstrument::PreloadLibrary() {
    return "libumockdev-preload.so.0";
}

bool UsbfsInstrument::EnsurePreloaded(char **argv) {
    const char *loaded = std::getenv("LD_PRELOAD");
    if (loaded && std::strstr(loaded, PreloadLibrary())) return true;
    ::setenv("LD_PRELOAD", PreloadLibrary(), 1);
    ::execv("/proc/self/exe", argv);
    std::perror("cannot run again under the test bed's preload");
    return false;
}

std::vector<std::chrono::microseconds> UsbfsInstrument::discardDelays() const {
    std::lock_guard lock(m_handler->mutex);
    return m_handler->discardDelays;
}

} // namespace velda::sim
