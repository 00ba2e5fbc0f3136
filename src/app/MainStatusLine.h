// What the main window's status line and clock button say, decided tick by tick.
#pragma once

#include "device/ClockCommand.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

namespace velda {

/// What the window changes after a status-line decision; an empty member leaves its part as it is.
struct StatusLineUpdate {
    std::optional<QString> text;      ///< the status line's text (shown unless already shown)
    std::optional<QString> clockHint; ///< the clock button's tooltip
};

/// The main window's status line: a refusal or the end of a clock setting stays for kHeldTicks timer
/// ticks; a running clock setting shows its progress; otherwise the line shows the hover hint. The
/// clock button's tooltip says how to cancel while a setting runs. GUI thread.
class MainStatusLine {
public:
    /// A held message stays this many hint ticks before the hover texts take over again.
    static constexpr int kHeldTicks = 15;

    /// One timer tick. `clockTick` is asked only when no message is held, so the end of a clock setting
    /// is never lost behind a held refusal; `hoverHint` is asked only when the line shows it.
    [[nodiscard]] StatusLineUpdate tick(const std::function<ClockCommand::Tick()> &clockTick,
                                        const std::function<QString()> &hoverHint);

    /// An exchange command refused because an exchange runs (`clockSettingRuns`: the clock's own).
    [[nodiscard]] StatusLineUpdate refused(bool clockSettingRuns);

    /// An archive read has put `records` records in the table, `failedChecks` of them failing their
    /// block check: the count stays on the line a while; nothing changes when every record passed.
    [[nodiscard]] StatusLineUpdate readEnded(std::uint32_t records, std::uint32_t failedChecks);

    /// The clock button was pressed and did `press`.
    [[nodiscard]] StatusLineUpdate clockPressed(ClockCommand::Press press);

    [[nodiscard]] int heldTicks() const { return m_heldTicks; }

private:
    [[nodiscard]] StatusLineUpdate hold(const QString &text);

    int m_heldTicks = 0;
};

} // namespace velda
