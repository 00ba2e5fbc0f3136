// The program's exchange slot: one exchange at a time, kept until the next one starts.
#pragma once

#include "device/BMTreadUSB.h"

#include <cstdint>
#include <memory>
#include <mutex>

namespace velda {

enum class StartResult { Started, Busy };

/// The program's exchange slot: the exchange under way, or the last one until the next start. Each
/// program's main makes one before its first exchange and keeps it to its end; the starters and waits
/// use it. A program that makes none (a test program) gets one made on first use that lives to the end
/// of the process. At its end an exchange still retrying is told to stop; one that does not stop within
/// 2 s (its user interface is gone) is left to the end of the process rather than destroyed under its
/// running thread. One at a time; a second throws std::logic_error. GUI (main) thread.
class ExchangeRegistry {
public:
    ExchangeRegistry();
    ~ExchangeRegistry();
    ExchangeRegistry(const ExchangeRegistry &) = delete;
    ExchangeRegistry &operator=(const ExchangeRegistry &) = delete;

    /// The registry the program's main made, or the one made on first use.
    [[nodiscard]] static ExchangeRegistry &program();

    /// Refuses with Busy while an exchange runs; otherwise clears CancelRequested, sets ExchangeState 0
    /// and `mode`, and starts the exchange with the controls attached (a null `setup.ui` runs the
    /// user-interface calls inline and shows no message box).
    [[nodiscard]] StartResult start(std::uint8_t mode, ExchangeSetup setup, const ExchangeControls &controls);
    /// The exchange under way or the last one (null before the first start or after forget()).
    [[nodiscard]] std::shared_ptr<BMTreadUSB> current() const;
    /// Drops `exchange` when it is still the current one (it has been joined).
    void forget(const std::shared_ptr<BMTreadUSB> &exchange);

private:
    struct Fallback {};
    explicit ExchangeRegistry(Fallback);

    mutable std::mutex m_mutex;
    std::shared_ptr<BMTreadUSB> m_exchange;
};

} // namespace velda
