// Shared pieces of the archive benchmarks: a generated archive, a clock, the process's memory figures.
#pragma once

#include "archive/ArchiveRecord.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace velda::bench {

/// `count` LongRecords of format 2 with realistic content: both channels, a humidity-and-pressure probe
/// and a thermocouple, series mode, one record a minute.
inline std::vector<std::uint8_t> GenerateRecords(std::size_t count, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<float> temperature(-20.0f, 60.0f);
    std::uniform_real_distribution<float> humidity(10.0f, 95.0f);
    std::uniform_real_distribution<float> pressure(720.0f, 780.0f);
    std::vector<std::uint8_t> out(count * kLongRecordSize, 0);
    auto putF32 = [&](std::uint8_t *p, float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        for (int i = 0; i < 4; ++i)
            p[i] = static_cast<std::uint8_t>(u >> (8 * i));
    };
    for (std::size_t i = 0; i < count; ++i) {
        std::uint8_t *r = out.data() + i * kLongRecordSize;
        r[0] = 2;
        r[2] = static_cast<std::uint8_t>(i % 50);
        r[4] = static_cast<std::uint8_t>(i % 251);
        r[6] = static_cast<std::uint8_t>(i / 50 % 256);
        putF32(r + 8, humidity(rng));
        putF32(r + 12, humidity(rng));
        putF32(r + 16, 0.0f);
        putF32(r + 20, pressure(rng));
        putF32(r + 24, temperature(rng));
        putF32(r + 28, temperature(rng));
        const std::size_t minutes = i;
        r[32] = 0;
        r[33] = static_cast<std::uint8_t>(minutes % 60);
        r[34] = static_cast<std::uint8_t>(minutes / 60 % 24);
        r[35] = static_cast<std::uint8_t>(1 + minutes / 1440 % 28);
        r[36] = static_cast<std::uint8_t>(1 + minutes / (1440 * 28) % 12);
        r[37] = 26;
        r[38] = 1; // thermocouple
        r[39] = 7; // temperature, humidity and pressure
        r[40] = 0xAA;
        r[41] = 0xAA;
    }
    return out;
}

/// Wall time and the process's CPU time (user + system); the CPU figure stays meaningful on a machine
/// that other jobs keep busy.
class Stopwatch {
public:
    Stopwatch() : m_start(std::chrono::steady_clock::now()), m_cpuStart(CpuMs()) {}
    [[nodiscard]] double ms() const {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - m_start).count();
    }
    [[nodiscard]] double cpuMs() const { return CpuMs() - m_cpuStart; }

    static double CpuMs() {
        timespec t{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
    }

private:
    std::chrono::steady_clock::time_point m_start;
    double m_cpuStart;
};

/// Best wall and CPU time over several runs.
struct Best {
    double wallMs = 1e300;
    double cpuMs = 1e300;
    void add(const Stopwatch &watch) {
        const double wall = watch.ms();
        const double cpu = watch.cpuMs();
        wallMs = wall < wallMs ? wall : wallMs;
        cpuMs = cpu < cpuMs ? cpu : cpuMs;
    }
};

/// A field of /proc/self/status in kB ("VmHWM", "VmRSS"); -1 when unavailable.
inline long StatusKb(const char *field) {
    std::FILE *f = std::fopen("/proc/self/status", "r");
    if (!f) return -1;
    char line[256];
    long value = -1;
    const std::size_t n = std::strlen(field);
    while (std::fgets(line, sizeof line, f)) {
        if (std::strncmp(line, field, n) == 0 && line[n] == ':') {
            value = std::strtol(line + n + 1, nullptr, 10);
            break;
        }
    }
    std::fclose(f);
    return value;
}

} // namespace velda::bench
