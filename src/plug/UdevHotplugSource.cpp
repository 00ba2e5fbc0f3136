// The hot-plug source on udev's monitor.
#include "plug/UdevHotplugSource.h"

#include "device/LibUsbBinding.h"

#include <QTimer>

#include <libudev.h>

#include <charconv>
#include <cstring>
#include <optional>
#include <string>

namespace velda {

namespace {

constexpr const char *kSubsystem = "usb";
constexpr const char *kDeviceType = "usb_device";

std::optional<unsigned> HexId(const char *text) {
    if (!text || !*text) return std::nullopt;
    unsigned value = 0;
    const char *end = text + std::strlen(text);
    const auto [at, error] = std::from_chars(text, end, value, 16);
    if (error != std::errc{} || at != end || value > 0xFFFF) return std::nullopt;
    return value;
}

// Vendor and product as udev and sysfs give them ("03eb", "0203"; any case, leading zeros optional).
bool IsInstrumentId(const char *vendor, const char *product) {
    return HexId(vendor) == kInstrumentVendorId && HexId(product) == kInstrumentProductId;
}

// udev's own properties where its rules ran, the kernel's PRODUCT ("3eb/203/100") otherwise, and sysfs
// last (gone already when the device is being removed).
bool IsInstrument(struct udev_device *device) {
    const char *vendor = udev_device_get_property_value(device, "ID_VENDOR_ID");
    const char *product = udev_device_get_property_value(device, "ID_MODEL_ID");
    if (vendor && product) return IsInstrumentId(vendor, product);
    if (const char *kernelIds = udev_device_get_property_value(device, "PRODUCT")) {
        const std::string ids = kernelIds;
        const auto first = ids.find('/');
        if (first == std::string::npos) return false;
        const auto second = ids.find('/', first + 1); // npos: the product runs to the end
        return IsInstrumentId(ids.substr(0, first).c_str(),
                              ids.substr(first + 1, second - first - 1).c_str());
    }
    return IsInstrumentId(udev_device_get_sysattr_value(device, "idVendor"),
                          udev_device_get_sysattr_value(device, "idProduct"));
}

} // namespace

std::unique_ptr<UdevHotplugSource> UdevHotplugSource::Create(QObject *parent) {
    struct udev *context = udev_new();
    if (!context) return nullptr;
    struct udev_monitor *monitor = udev_monitor_new_from_netlink(context, "udev");
    if (!monitor || udev_monitor_filter_add_match_subsystem_devtype(monitor, kSubsystem, kDeviceType) < 0 ||
        udev_monitor_enable_receiving(monitor) < 0 || udev_monitor_get_fd(monitor) < 0) {
        if (monitor) udev_monitor_unref(monitor);
        udev_unref(context);
        return nullptr;
    }
    return std::unique_ptr<UdevHotplugSource>(new UdevHotplugSource(context, monitor, parent));
}

UdevHotplugSource::UdevHotplugSource(struct udev *context, struct udev_monitor *monitor, QObject *parent)
    : HotplugSource(parent), m_udev(context), m_monitor(monitor),
      m_notifier(std::make_unique<QSocketNotifier>(udev_monitor_get_fd(monitor), QSocketNotifier::Read)) {
    m_notifier->setEnabled(false);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &UdevHotplugSource::receive);
}

UdevHotplugSource::~UdevHotplugSource() {
    m_notifier.reset();
    udev_monitor_unref(m_monitor);
    udev_unref(m_udev);
}

QString UdevHotplugSource::kind() const {
    return QStringLiteral("udev");
}

void UdevHotplugSource::start() {
    m_running = true;
    m_instruments.clear();
    // Events queued before the start are stale: what is on the bus now is enumerated instead. An event
    // between the two finds the set as it will be, so it changes nothing twice.
    while (struct udev_device *stale = udev_monitor_receive_device(m_monitor))
        udev_device_unref(stale);
    m_notifier->setEnabled(true);
    QTimer::singleShot(0, this, [this] {
        if (m_running) enumerate();
    });
}

void UdevHotplugSource::stop() {
    m_running = false;
    m_notifier->setEnabled(false);
}

void UdevHotplugSource::enumerate() {
    const bool wasPresent = present();
    struct udev_enumerate *listing = udev_enumerate_new(m_udev);
    if (!listing) return;
    udev_enumerate_add_match_subsystem(listing, kSubsystem);
    udev_enumerate_add_match_property(listing, "DEVTYPE", kDeviceType);
    udev_enumerate_scan_devices(listing);
    struct udev_list_entry *entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(listing)) {
        struct udev_device *device = udev_device_new_from_syspath(m_udev, udev_list_entry_get_name(entry));
        if (!device) continue;
        if (IsInstrument(device)) m_instruments.insert(udev_device_get_syspath(device));
        udev_device_unref(device);
    }
    udev_enumerate_unref(listing);
    announce(wasPresent);
}

// Each event is announced on its own, so a pull and a replug read in one go are still a new stay.
void UdevHotplugSource::receive() {
    while (struct udev_device *device = udev_monitor_receive_device(m_monitor)) {
        const bool wasPresent = present();
        take(device);
        udev_device_unref(device);
        if (m_running) announce(wasPresent);
    }
}

// An instrument's add joins the set; a remove takes its path out whatever its properties still say.
void UdevHotplugSource::take(struct udev_device *device) {
    const char *action = udev_device_get_action(device);
    const char *path = udev_device_get_syspath(device);
    if (!action || !path) return;
    if (std::strcmp(action, "remove") == 0)
        m_instruments.erase(path);
    else if (std::strcmp(action, "add") == 0 && IsInstrument(device))
        m_instruments.insert(path);
}

void UdevHotplugSource::announce(bool wasPresent) {
    if (present() == wasPresent) return;
    if (present())
        Q_EMIT arrived();
    else
        Q_EMIT left();
}

} // namespace velda
