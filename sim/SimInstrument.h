// The simulated instrument's behaviour behind any transport: it takes the bulk messages the program
// sends, answers them with framed replies from its scenario, keeps the clock payload, injects the
// scenario's faults and logs every command. The libusb-0.1 entry points of libvelda9-sim.so and the
// emulated usbfs device of the USB stack tests both drive it.
#pragma once

#include "SimScenario.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <nlohmann/json_fwd.hpp>
#include <optional>
#include <string>

namespace velda::sim {

/// One instrument. Every member may be called from any thread; calls are serialised.
class SimInstrument {
public:
    /// The outcome of one IN transfer of at most `capacity` bytes.
    struct Transfer {
        /// 0 data moved; ETIMEDOUT the instrument has nothing to send (it answers every IN token with a
        /// NAK, so a real transfer waits out its timeout); ENODEV the instrument was removed.
        int error = 0;
        std::size_t count = 0;
        /// The instrument sent more than the transfer could take (a babble): `count` bytes arrived, the
        /// rest of that packet is lost.
        bool overflow = false;
    };

    /// Loads the scenario file at `scenarioPath` (null or empty: the demo instrument) when it is not the
    /// one in force or the file has changed since it was read; true when it (re)loaded.
    bool ensureLoaded(const char *scenarioPath);
    /// Loads it again even when unchanged: the instrument restarts (its clock and faults reset).
    void reload(const char *scenarioPath);

    /// True while the instrument is on the bus (a valid scenario, its absence over, not removed).
    [[nodiscard]] bool present();
    /// One device scan of the bus: whether the instrument is listed; counts down `faults.absent_scans`
    /// and moves the scenario's presence on (arrivals and departures happen at scans).
    [[nodiscard]] bool scan();
    [[nodiscard]] OpenError openError();
    /// How many times the scenario's presence has brought the instrument onto the bus: each stay is a
    /// newly attached device (with a device number of its own).
    [[nodiscard]] std::int64_t arrivals();

    /// One OUT transfer: the number of bytes taken, or -ETIMEDOUT (an injected write fault: the
    /// instrument NAKs it) or -ENODEV (removed, also when this very message removes it).
    [[nodiscard]] int write(const std::uint8_t *bytes, std::size_t size);
    /// One IN transfer into `buffer`, which holds `capacity` bytes; never writes beyond them.
    [[nodiscard]] Transfer read(std::uint8_t *buffer, std::size_t capacity);

private:
    using Clock = std::chrono::steady_clock;

    void load(const char *scenarioPath);
    bool presentLocked() const;
    void presenceScan();
    void depart();
    bool takeFault(Command command, std::optional<std::uint32_t> index, Stage stage);
    void queueReply(Command command, std::optional<std::uint32_t> index, const Bytes &data);
    Bytes record(std::uint32_t index) const;
    Bytes screen() const;
    void log(nlohmann::json line);

    std::mutex m_mutex;
    bool m_loaded = false;
    bool m_valid = false;
    bool m_removed = false;
    std::string m_key;
    Scenario m_scenario;
    Clock::time_point m_epoch{};
    std::int64_t m_absentScansLeft = 0; // device scans that still report no instrument
    // The scenario's presence: on the bus in a stay, or away until the arrival scans have passed.
    bool m_staying = false;
    std::int64_t m_arrivalScansLeft = 0;
    std::int64_t m_stayScans = 0;
    std::int64_t m_stayRecords = 0;
    std::int64_t m_arrivals = 0;
    std::optional<std::int64_t> m_staysLeft;
    std::deque<Bytes> m_reply; // the length chunk, then the data chunk of the pending reply
    Command m_replyCommand = Command::Version;
    std::optional<std::uint32_t> m_replyIndex;
    bool m_awaitingClockPayload = false;
    Bytes m_clockPayload;
    Clock::time_point m_clockSetAt{};
    std::uint64_t m_logSeq = 0;
    bool m_logFailed = false;
};

} // namespace velda::sim
