// Noticing the instrument on the bus: arrivals and departures of 03EB:0203 as signals on the thread that
// owns the source, from udev's monitor or from a scan of the bus through the USB binding.
#pragma once

#include <QObject>
#include <QString>

#include <chrono>
#include <memory>

namespace velda {

/// How often the scan looks at the bus. VELDA9_SCAN_INTERVAL_MS (1 to 60000) overrides it, so that tests
/// and the simulator's scenarios need no real-time waits.
inline constexpr std::chrono::milliseconds kDefaultScanInterval{2000};

/// The scan's interval in force: VELDA9_SCAN_INTERVAL_MS when it is a whole number from 1 to 60000,
/// kDefaultScanInterval otherwise.
[[nodiscard]] std::chrono::milliseconds ScanInterval();

/// Reports the instrument's arrivals and departures. Lives on one thread (the GUI thread, or the command
/// line's main thread) and emits there. The source never touches the USB binding while an exchange runs:
/// the instrument in use is on the bus, and its removal is seen at the first look after the exchange.
class HotplugSource : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;
    ~HotplugSource() override = default;

    /// Starts watching. An instrument already on the bus is reported as an arrival (on the event loop,
    /// after start() has returned).
    virtual void start() = 0;
    /// Stops watching; no signal follows.
    virtual void stop() = 0;
    /// Whether the instrument was on the bus at the last look.
    [[nodiscard]] virtual bool present() const = 0;
    /// "udev" or "scan": which source this is, for the log and the status line.
    [[nodiscard]] virtual QString kind() const = 0;

    /// The problem that keeps the source from seeing the bus, in the language in force when it was
    /// met; empty while it sees the bus.
    [[nodiscard]] QString problemText() const { return m_problem; }

Q_SIGNALS:
    void arrived();
    void left();
    /// The source cannot see the bus (the scan: the USB library cannot be loaded). Emitted once per
    /// problem, not at every look; the source keeps trying and clears it when the bus is seen.
    void problem(const QString &text);

protected:
    /// Emits problem(text) unless the same problem is in force already.
    void reportProblem(const QString &text);
    void clearProblem() { m_problem.clear(); }

private:
    QString m_problem;
};

enum class HotplugChoice {
    Automatic, ///< udev's monitor where udev runs (its /run/udev and libudev), the scan otherwise
    Udev,
    Scan,
};

/// The source for `choice`. The simulated instrument (LibUSB.simulatorSelected()) is always scanned:
/// it joins and leaves the bus the simulator's scenario describes. Udev that cannot be set up falls back
/// to the scan.
[[nodiscard]] std::unique_ptr<HotplugSource>
MakeHotplugSource(HotplugChoice choice = HotplugChoice::Automatic, QObject *parent = nullptr);

} // namespace velda
