// Noticing the instrument through udev's monitor: the kernel's add and remove events of USB devices,
// filtered to 03EB:0203, on a socket the event loop watches.
#pragma once

#include "plug/HotplugSource.h"

#include <QSocketNotifier>

#include <memory>
#include <set>
#include <string>

struct udev;
struct udev_device;
struct udev_monitor;

namespace velda {

class UdevHotplugSource final : public HotplugSource {
    Q_OBJECT
public:
    /// The source with its monitor receiving; null when libudev or the monitor cannot be set up.
    [[nodiscard]] static std::unique_ptr<UdevHotplugSource> Create(QObject *parent = nullptr);
    ~UdevHotplugSource() override;

    void start() override;
    void stop() override;
    [[nodiscard]] bool present() const override { return !m_instruments.empty(); }
    [[nodiscard]] QString kind() const override;

private:
    UdevHotplugSource(struct udev *context, struct udev_monitor *monitor, QObject *parent);
    void enumerate();
    void receive();
    void take(struct udev_device *device);
    void announce(bool wasPresent);

    struct udev *m_udev;
    struct udev_monitor *m_monitor;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::set<std::string> m_instruments; // sysfs paths of the instruments on the bus
    bool m_running = false;
};

} // namespace velda
