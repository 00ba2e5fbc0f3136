// The USB transport: run-time binding of a libusb-0.1 library and the instrument's bulk link.
#pragma once

#include "base/Result.h"

#include <atomic>
#include <cstdint>
#include <string>

struct usb_dev_handle;
struct usb_bus;
struct usb_device;

namespace velda {

inline constexpr std::uint16_t kInstrumentVendorId = 0x03EB;
inline constexpr std::uint16_t kInstrumentProductId = 0x0203;
inline constexpr int kInstrumentConfiguration = 1;
inline constexpr int kInstrumentInterface = 0;
inline constexpr int kBulkOutEndpoint = 1;
inline constexpr int kBulkInEndpoint = 0x82;
inline constexpr int kTransferTimeoutMs = 500;

/// Why the binding refused to load its library or to open the instrument.
struct UsbError {
    enum class Kind {
        LibraryMissing,    ///< the library cannot be loaded
        EntryPointMissing, ///< the library lacks a function that is called
        NotLoaded,         ///< no library is loaded
        NotFound,          ///< no instrument on the bus
        PermissionDenied,  ///< the instrument is there, but this user may not open it
        Busy,              ///< the instrument is there, but another program holds it
        OpenFailed,        ///< the instrument is there, but opening or claiming it failed otherwise
    };
    Kind kind = Kind::NotFound;
    int error = 0;      ///< the errno of a failed open or claim; 0 otherwise
    std::string detail; ///< the dynamic loader's message of a failed load; empty otherwise
};

template <typename T>
using UsbResult = Result<T, UsbError>;

/// The binding of one libusb-0.1 library. Only the exchange thread calls LoadDriver, OpenDevice,
/// CloseDevice, BulkWrite and BulkRead; UnloadDriver runs at program exit when no exchange runs.
class LibUsbBinding {
public:
    LibUsbBinding() = default;
    /// Leaves the library loaded: UnloadDriver runs explicitly at exit, after the exchange has stopped
    /// (ShutdownDeviceLink), so no thread can still be inside it.
    ~LibUsbBinding() = default;
    LibUsbBinding(const LibUsbBinding &) = delete;
    LibUsbBinding &operator=(const LibUsbBinding &) = delete;

    /// Loads the library (done also when it already was); LibraryMissing or EntryPointMissing with the
    /// loader's message otherwise.
    [[nodiscard]] UsbResult<Done> LoadDriver();
    /// Opens the instrument (done also when it is open and the bus has not changed); NotLoaded, NotFound,
    /// or why an instrument on the bus could not be opened (PermissionDenied, Busy, OpenFailed, with errno).
    [[nodiscard]] UsbResult<Done> OpenDevice();
    void CloseDevice();
    /// Where the instrument is listed on the bus ("bus/device", e.g. "001/005"; empty when it is not),
    /// without opening it: loads the library when needed (failing as LoadDriver does), then scans the
    /// busses and devices once. A replugged instrument gets a new device number, so the place tells it
    /// from one that stayed. Only while no exchange runs: libusb-0.1 is not thread-safe, and the exchange
    /// thread owns the binding while it runs. An open handle whose instrument has left or been listed
    /// anew is closed, so the next open starts afresh.
    [[nodiscard]] UsbResult<std::string> InstrumentOnBus();
    /// libusb's result: bytes written, or negative on failure. Endpoint 1, 500 ms.
    [[nodiscard]] int BulkWrite(const std::uint8_t *bytes, int length);
    /// libusb's result: bytes read, or negative on failure. Endpoint 0x82, 500 ms; one call, no looping.
    [[nodiscard]] int BulkRead(std::uint8_t *buffer, int length);
    void UnloadDriver();

    /// Selects the simulated instrument (libvelda9-sim.so) instead of libusb-0.1 for every later
    /// LoadDriver (`--simulate`). Call before the first exchange.
    void useSimulator(bool simulate) { m_simulate.store(simulate); }
    [[nodiscard]] bool simulatorSelected() const { return m_simulate.load(); }
    /// The library LoadDriver would try first: VELDA9_USB_LIBRARY, or the simulator found by the search
    /// order (VELDA9_SIM_LIBRARY, the executable's folder, <exe dir>/../lib/velda9/, plain name), or
    /// "libusb-0.1.so.4".
    [[nodiscard]] std::string libraryPath() const;

    /// Exchange thread only (or while no exchange runs).
    [[nodiscard]] bool loaded() const { return m_library != nullptr; }
    [[nodiscard]] bool deviceOpen() const { return m_device != nullptr; }

private:
    using InitFn = void (*)();
    using FindFn = int (*)();
    using GetBussesFn = usb_bus *(*)();
    using OpenFn = usb_dev_handle *(*)(struct usb_device *);
    using CloseFn = int (*)(usb_dev_handle *);
    using IntArgFn = int (*)(usb_dev_handle *, int);
    using BulkWriteFn = int (*)(usb_dev_handle *, int, const char *, int, int);
    using BulkReadFn = int (*)(usb_dev_handle *, int, char *, int, int);

    void clearEntryPoints();
    /// One scan of the bus: the instrument's entry, or null; `changed` whether busses or devices changed.
    struct usb_device *findInstrument(bool &changed);

    void *m_library = nullptr;
    usb_dev_handle *m_device = nullptr;
    InitFn m_usbInit = nullptr;
    FindFn m_usbFindBusses = nullptr;
    FindFn m_usbFindDevices = nullptr;
    GetBussesFn m_usbGetBusses = nullptr;
    OpenFn m_usbOpen = nullptr;
    IntArgFn m_usbSetConfiguration = nullptr;
    IntArgFn m_usbClaimInterface = nullptr;
    BulkWriteFn m_usbBulkWrite = nullptr;
    BulkReadFn m_usbBulkRead = nullptr;
    CloseFn m_usbClose = nullptr;
    std::atomic<bool> m_simulate{false};
};

/// The one process-wide USB binding, unloaded until the first exchange.
extern LibUsbBinding LibUSB;

} // namespace velda
