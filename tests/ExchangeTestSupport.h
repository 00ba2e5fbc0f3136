// Helpers of the tests that drive exchanges: scenario bytes as hex and a gate that holds the exchange
// thread where the test wants it.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace velda::test {

/// Lower-case hex digits of `bytes`, as the simulator's scenario files take them.
inline std::string Hex(const std::vector<std::uint8_t> &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

/// Holds the exchange thread in a pause (its sleeper calls wait()) until the test opens it, so "an
/// exchange runs" is a state the test controls rather than a race.
class Gate {
public:
    void wait() {
        std::unique_lock lock(m_mutex);
        m_entered = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    void waitEntered() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_entered; });
    }
    void open() {
        std::lock_guard lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_entered = false;
    bool m_open = false;
};

} // namespace velda::test
