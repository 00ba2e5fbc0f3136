// Builds record bytes field by field for the archive tests, from the two layouts' offsets.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <vector>

namespace velda::test {

struct RecordFields {
    std::uint8_t channels = 2;
    std::uint16_t number = 3;
    std::uint16_t series = 7;
    std::uint16_t modeCount = 10;
    float humidity1 = 40.0f;
    float humidity2 = 60.0f;
    float aux1 = 123.45f;
    float aux2 = 456.5f;
    float temperature1 = 21.5f;
    float temperature2 = -7.25f;
    std::uint8_t second = 9, minute = 5, hour = 23, day = 31, month = 12, year = 18;
    std::uint8_t sensor1 = 0, sensor2 = 0;
};

inline void PutU16(std::vector<std::uint8_t> &b, std::size_t at, std::uint16_t v) {
    b[at] = static_cast<std::uint8_t>(v & 0xFF);
    b[at + 1] = static_cast<std::uint8_t>(v >> 8);
}

inline void PutF32(std::vector<std::uint8_t> &b, std::size_t at, float v) {
    const auto u = std::bit_cast<std::uint32_t>(v);
    for (int i = 0; i < 4; ++i)
        b[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(u >> (8 * i));
}

/// ShortRecord (format 0) or LongRecord (formats 1, 2) bytes; long records carry the 0xAAAA check field.
inline std::vector<std::uint8_t> RecordBytes(int format, const RecordFields &r) {
    const bool shortLayout = format == 0;
    std::vector<std::uint8_t> b(shortLayout ? 36 : 44, 0);
    b[0] = r.channels;
    if (shortLayout) {
        b[1] = static_cast<std::uint8_t>(r.number);
        b[2] = static_cast<std::uint8_t>(r.series);
        b[3] = static_cast<std::uint8_t>(r.modeCount);
    } else {
        b[1] = 0x5A; // reserved, never read
        PutU16(b, 2, r.modeCount);
        PutU16(b, 4, r.number);
        PutU16(b, 6, r.series);
    }
    const std::size_t f = shortLayout ? 4 : 8;
    PutF32(b, f, r.humidity1);
    PutF32(b, f + 4, r.humidity2);
    PutF32(b, f + 8, r.aux1);
    PutF32(b, f + 12, r.aux2);
    PutF32(b, f + 16, r.temperature1);
    PutF32(b, f + 20, r.temperature2);
    const std::size_t t = f + 24;
    const std::uint8_t tail[] = {r.second, r.minute, r.hour, r.day, r.month, r.year, r.sensor1, r.sensor2};
    std::memcpy(b.data() + t, tail, sizeof tail);
    if (!shortLayout) PutU16(b, 40, 0xAAAA);
    return b;
}

inline std::vector<std::uint8_t> Concat(const std::vector<std::vector<std::uint8_t>> &records) {
    std::vector<std::uint8_t> out;
    for (const auto &r : records)
        out.insert(out.end(), r.begin(), r.end());
    return out;
}

} // namespace velda::test
