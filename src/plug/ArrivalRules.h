// When an arrival of the instrument starts a download: once per stay on the bus, never beside another
// exchange or under an open modal dialog. Toolkit-free; the main window and `velda9-cli watch` both ask it.
#pragma once

namespace velda {

/// One stay is the time between an arrival and the next departure. A stay gets one download: the first
/// moment at which nothing else runs after the arrival. An arrival seen again within a stay (a repeated
/// event) changes nothing; a departure before the download started drops it. Not thread-safe.
class ArrivalRules {
public:
    void instrumentArrived();
    void instrumentLeft();
    /// Whether the download of this stay should start now; `exchangeRunning` and `modalOpen` say what
    /// else is under way. Ask again when an exchange ends or a dialog closes.
    [[nodiscard]] bool shouldStart(bool exchangeRunning, bool modalOpen) const;
    /// The download of this stay has started: no other one until the instrument has left and come back.
    void downloadStarted();
    [[nodiscard]] bool present() const { return m_present; }

private:
    bool m_present = false;
    bool m_served = false;
};

} // namespace velda
