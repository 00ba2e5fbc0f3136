// The simulated instrument at the kernel's usbfs interface: a umockdev test bed with a USB device
// 03EB:0203 in its sysfs and a /dev/bus/usb node whose ioctls (configuration, interface claims, bulk
// URBs) are answered by the instrument's core. A program that runs with libumockdev-preload and the
// test bed's UMOCKDEV_DIR finds it through the system's own libusb-0.1.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace velda::sim {

class UsbfsInstrument {
public:
    /// Builds the test bed and sets UMOCKDEV_DIR in this process's environment, so programs started
    /// from here afterwards see it. `scenarioPath` is a scenario file (empty: the demo instrument).
    /// Throws std::runtime_error when the test bed cannot be built.
    explicit UsbfsInstrument(const std::string &scenarioPath);
    /// Removes the test bed; no client may still be running.
    ~UsbfsInstrument();
    UsbfsInstrument(const UsbfsInstrument &) = delete;
    UsbfsInstrument &operator=(const UsbfsInstrument &) = delete;

    /// Sends the device's uevent `action` ("add", "remove", ...) to the udev monitors of clients under
    /// the preload, as the kernel announces a plugged or pulled device; the test bed itself is unchanged.
    void sendUevent(const char *action);

    /// The emulated device node, e.g. "/dev/bus/usb/001/002".
    [[nodiscard]] static const char *DeviceNode();
    /// The library a client preloads (LD_PRELOAD) to see the test bed.
    [[nodiscard]] static const char *PreloadLibrary();
    /// Runs this program again (`argv` as it got it) with PreloadLibrary() in LD_PRELOAD unless it is
    /// there already. Returns true when it is; false, the reason printed, when the program could not be
    /// run again. A program that serves the test bed calls it first thing in main.
    [[nodiscard]] static bool EnsurePreloaded(char **argv);

    /// How long each URB that never completed stayed submitted before the client discarded it, in
    /// order. Any thread.
    [[nodiscard]] std::vector<std::chrono::microseconds> discardDelays() const;

private:
    struct Handler;
    std::unique_ptr<Handler> m_handler;
};

} // namespace velda::sim
