// Noticing the instrument by looking at the bus at a fixed interval through the USB binding: the way
// where udev does not run (a container, no /run/udev), and the only way to the simulated instrument.
#pragma once

#include "plug/HotplugSource.h"

#include <QTimer>

#include <string>

namespace velda {

/// Looks at the bus every `interval` on its own thread's event loop. A look while an exchange runs is
/// skipped: the exchange thread owns the (not thread-safe) binding, and exchanges start only on this
/// same thread, so none can begin between the check and the look.
class ScanHotplugSource final : public HotplugSource {
    Q_OBJECT
public:
    explicit ScanHotplugSource(std::chrono::milliseconds interval = ScanInterval(),
                               QObject *parent = nullptr);

    void start() override;
    void stop() override;
    [[nodiscard]] bool present() const override { return !m_place.empty(); }
    [[nodiscard]] QString kind() const override;

    /// One look at the bus now, as the timer makes it: arrived or left on a change; both, in that order,
    /// when the instrument was replugged since the last look (a new device number).
    void look();

private:
    QTimer m_timer;
    std::string m_place; // where the instrument was at the last look; empty: not on the bus
};

} // namespace velda
