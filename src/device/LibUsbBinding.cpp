// Run-time binding of libusb-0.1 (or the simulated instrument) and the instrument's bulk link.
#include "device/LibUsbBinding.h"

#include <usb.h>

#include <dlfcn.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace velda {

LibUsbBinding LibUSB;

namespace {

constexpr const char *kSystemUsbLibrary = "libusb-0.1.so.4";
constexpr const char *kSimulatorLibrary = "libvelda9-sim.so";

std::filesystem::path ExecutableDir() {
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    return exe.parent_path();
}

std::string SimulatorPath() {
    if (const char *named = std::getenv("VELDA9_SIM_LIBRARY"); named && *named) return named;
    const auto exeDir = ExecutableDir();
    if (!exeDir.empty()) {
        std::error_code error;
        const auto beside = exeDir / kSimulatorLibrary;
        if (std::filesystem::exists(beside, error)) return beside.string();
        const auto installed = exeDir / ".." / "lib" / "velda9" / kSimulatorLibrary;
        if (std::filesystem::exists(installed, error)) return installed.lexically_normal().string();
    }
    return kSimulatorLibrary;
}

UsbError OpenError(int error) {
    switch (error) {
    case EACCES:
    case EPERM:
        return UsbError{UsbError::Kind::PermissionDenied, error, {}};
    case EBUSY:
        return UsbError{UsbError::Kind::Busy, error, {}};
    default:
        return UsbError{UsbError::Kind::OpenFailed, error, {}};
    }
}

UsbError LoadError(UsbError::Kind kind, const std::string &path) {
    const char *message = dlerror();
    return UsbError{kind, 0, message ? std::string(message) : path};
}

template <typename Fn>
bool Bind(void *library, const char *name, Fn &slot) {
    void *symbol = dlsym(library, name);
    if (!symbol) return false;
    slot = reinterpret_cast<Fn>(symbol);
    return true;
}

} // namespace

std::string LibUsbBinding::libraryPath() const {
    if (m_simulate.load()) return SimulatorPath();
    if (const char *named = std::getenv("VELDA9_USB_LIBRARY"); named && *named) return named;
    return kSystemUsbLibrary;
}

void LibUsbBinding::clearEntryPoints() {
    m_usbInit = nullptr;
    m_usbFindBusses = nullptr;
    m_usbFindDevices = nullptr;
    m_usbGetBusses = nullptr;
    m_usbOpen = nullptr;
    m_usbSetConfiguration = nullptr;
    m_usbClaimInterface = nullptr;
    m_usbBulkWrite = nullptr;
    m_usbBulkRead = nullptr;
    m_usbClose = nullptr;
}

UsbResult<Done> LibUsbBinding::LoadDriver() {
    if (m_library) return Done{};
    const std::string path = libraryPath();
    void *library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) return LoadError(UsbError::Kind::LibraryMissing, path);
    // Only the functions that are called are bound: the others of the 0.1 API exist only in some ports.
    const bool complete =
        Bind(library, "usb_bulk_read", m_usbBulkRead) && Bind(library, "usb_bulk_write", m_usbBulkWrite) &&
        Bind(library, "usb_claim_interface", m_usbClaimInterface) && Bind(library, "usb_close", m_usbClose) &&
        Bind(library, "usb_find_busses", m_usbFindBusses) &&
        Bind(library, "usb_find_devices", m_usbFindDevices) &&
        Bind(library, "usb_get_busses", m_usbGetBusses) && Bind(library, "usb_init", m_usbInit) &&
        Bind(library, "usb_open", m_usbOpen) && Bind(library, "usb_set_configuration", m_usbSetConfiguration);
    if (!complete) {
        UsbError error = LoadError(UsbError::Kind::EntryPointMissing, path);
        clearEntryPoints();
        dlclose(library);
        return error;
    }
    m_library = library;
    m_usbInit();
    return Done{};
}

UsbResult<Done> LibUsbBinding::OpenDevice() {
    if (!m_library) return UsbError{UsbError::Kind::NotLoaded, 0, {}};
    bool changed = false;
    struct usb_device *instrument = findInstrument(changed);
    if (!instrument) {
        CloseDevice();
        return UsbError{UsbError::Kind::NotFound, 0, {}};
    }
    if (!changed && m_device) return Done{};
    if (m_device) {
        m_usbClose(m_device);
        m_device = nullptr;
    }
    errno = 0;
    usb_dev_handle *handle = m_usbOpen(instrument);
    // A present instrument that cannot be opened counts as no instrument, but the reason goes with it so
    // the user can be told about missing access rights.
    if (!handle) return OpenError(errno != 0 ? errno : ENODEV);
    // A failed configuration is normal when the device is configured already; it is not examined.
    static_cast<void>(m_usbSetConfiguration(handle, kInstrumentConfiguration));
    const int claimed = m_usbClaimInterface(handle, kInstrumentInterface);
    if (claimed < 0) {
        m_usbClose(handle);
        return OpenError(-claimed);
    }
    m_device = handle;
    return Done{};
}

struct usb_device *LibUsbBinding::findInstrument(bool &changed) {
    const int busChanges = m_usbFindBusses();
    const int deviceChanges = m_usbFindDevices();
    changed = busChanges != 0 || deviceChanges != 0;
    for (usb_bus *bus = m_usbGetBusses(); bus; bus = bus->next) {
        for (struct usb_device *device = bus->devices; device; device = device->next) {
            if (device->descriptor.idVendor == kInstrumentVendorId &&
                device->descriptor.idProduct == kInstrumentProductId)
                return device;
        }
    }
    return nullptr;
}

UsbResult<std::string> LibUsbBinding::InstrumentOnBus() {
    if (const auto loaded = LoadDriver(); !loaded.ok()) return loaded.error();
    bool changed = false;
    const struct usb_device *instrument = findInstrument(changed);
    // The scan has taken the change that OpenDevice would have seen: a handle kept from before it would
    // otherwise be reused for an instrument that has been replugged.
    if (!instrument || changed) CloseDevice();
    if (!instrument) return std::string();
    return std::string(instrument->bus ? instrument->bus->dirname : "") + "/" + instrument->filename;
}

void LibUsbBinding::CloseDevice() {
    if (!m_device) return;
    m_usbClose(m_device);
    m_device = nullptr;
}

int LibUsbBinding::BulkWrite(const std::uint8_t *bytes, int length) {
    if (!m_device) return -ENODEV;
    return m_usbBulkWrite(m_device, kBulkOutEndpoint, reinterpret_cast<const char *>(bytes), length,
                          kTransferTimeoutMs);
}

int LibUsbBinding::BulkRead(std::uint8_t *buffer, int length) {
    if (!m_device) return -ENODEV;
    return m_usbBulkRead(m_device, kBulkInEndpoint, reinterpret_cast<char *>(buffer), length,
                         kTransferTimeoutMs);
}

void LibUsbBinding::UnloadDriver() {
    CloseDevice();
    clearEntryPoints();
    if (m_library) {
        dlclose(m_library);
        m_library = nullptr;
    }
}

} // namespace velda
