// The simulated instrument's memory: record encoder, generated archives, parameter block, version reply
// and screen image.
#include "SimArchive.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <numbers>
#include <random>

namespace velda::sim {

namespace {

constexpr std::size_t kLongCheckOffset = 40;
constexpr int kQuarterHourMinutes = 15;

// Sensor codes the simulated probes report in each sensor table.
constexpr std::uint8_t kHumidityProbeCodeA = 5; // "MK SHT" in the table of formats 0 and 1
constexpr std::uint8_t kHumidityProbeCodeB = 6; // "MK SHT" in the table of format 2
constexpr std::uint8_t kThermocoupleCode = 1;   // type K thermocouple in both tables

void PutU16(Bytes &bytes, std::size_t offset, std::uint16_t value) {
    bytes[offset] = static_cast<std::uint8_t>(value & 0xFF);
    bytes[offset + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutFloat(Bytes &bytes, std::size_t offset, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    for (std::size_t i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// The eight bytes that end both record layouts: second, minute, hour, day, month, year byte, sensor codes.
void PutTimeAndSensors(Bytes &bytes, std::size_t offset, const Reading &r, std::uint8_t yearByte) {
    const std::uint8_t tail[] = {static_cast<std::uint8_t>(r.second),
                                 static_cast<std::uint8_t>(r.minute),
                                 static_cast<std::uint8_t>(r.hour),
                                 static_cast<std::uint8_t>(r.day),
                                 static_cast<std::uint8_t>(r.month),
                                 yearByte,
                                 r.sensor1,
                                 r.sensor2};
    std::copy(std::begin(tail), std::end(tail), bytes.begin() + static_cast<std::ptrdiff_t>(offset));
}

float GetFloat(const Bytes &bytes, std::size_t offset) {
    std::uint32_t bits = 0;
    for (std::size_t i = 0; i < 4; ++i)
        bits |= static_cast<std::uint32_t>(bytes[offset + i]) << (8 * i);
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::optional<long> DayNumber(std::string_view date) {
    if (date.size() != 10 || date[2] != '.' || date[5] != '.') return std::nullopt;
    auto field = [&](std::size_t from, std::size_t length) -> std::optional<long> {
        long value = 0;
        for (std::size_t i = from; i < from + length; ++i) {
            if (date[i] < '0' || date[i] > '9') return std::nullopt;
            value = value * 10 + (date[i] - '0');
        }
        return value;
    };
    const auto day = field(0, 2), month = field(3, 2), year = field(6, 4);
    if (!day || !month || !year) return std::nullopt;
    return *day + 30 * *month + 365 * *year;
}

float Rounded(double value, double step) {
    return static_cast<float>(std::round(value / step) * step);
}

// Noise with a bell-like spread from three uniform draws; the distribution is computed here rather than
// by <random>'s distributions so that a seed gives the same archive with every standard library.
class Noise {
public:
    explicit Noise(std::uint32_t seed) : m_engine(seed) {}
    double operator()(double spread) {
        double sum = 0;
        for (int i = 0; i < 3; ++i)
            sum += static_cast<double>(m_engine() >> 8) / 16777216.0;
        return (sum - 1.5) * spread;
    }

private:
    std::mt19937 m_engine;
};

struct Moment {
    std::chrono::sys_days day;
    int minuteOfDay = 0;
    int second = 0;
};

void SetTime(Reading &reading, const Moment &moment) {
    const std::chrono::year_month_day ymd{moment.day};
    reading.year = static_cast<int>(ymd.year());
    reading.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    reading.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    reading.hour = moment.minuteOfDay / 60;
    reading.minute = moment.minuteOfDay % 60;
    reading.second = moment.second;
}

// An office on a working day: the room warms up in the afternoon, the air dries as it warms; the
// thermocouple sits on a heating pipe whose flow temperature follows the outdoor swing.
Reading RoomAndPipe(int format, const Moment &moment, Noise &noise) {
    const double hours = moment.minuteOfDay / 60.0 + moment.second / 3600.0;
    const double swing = std::sin(2 * std::numbers::pi * (hours - 9.0) / 24.0);
    Reading reading;
    reading.channels = 2;
    reading.sensor1 = format == 2 ? kHumidityProbeCodeB : kHumidityProbeCodeA;
    reading.sensor2 = kThermocoupleCode;
    reading.temperature1 = Rounded(20.6 + 1.9 * swing + noise(0.3), 0.01);
    reading.humidity1 = Rounded(std::clamp(46.0 - 7.0 * swing + noise(1.6), 0.0, 100.0), 0.01);
    reading.temperature2 = Rounded(57.5 - 6.5 * swing + noise(0.8), 0.01);
    SetTime(reading, moment);
    return reading;
}

std::chrono::sys_days BaseDay(int format) {
    using namespace std::chrono;
    switch (format) {
    case 0:
        return sys_days{year{2015} / June / 1};
    case 1:
        return sys_days{year{2017} / February / 1};
    default:
        return sys_days{year{2018} / March / 13};
    }
}

// ---- Screen font: 5 x 7 glyphs, one byte per column, bit 0 the top row ----

struct Glyph {
    char symbol;
    std::array<std::uint8_t, 5> columns;
};

constexpr Glyph kFont[] = {
    {'0', {0x3E, 0x51, 0x49, 0x45, 0x3E}}, {'1', {0x00, 0x42, 0x7F, 0x40, 0x00}},
    {'2', {0x42, 0x61, 0x51, 0x49, 0x46}}, {'3', {0x21, 0x41, 0x45, 0x4B, 0x31}},
    {'4', {0x18, 0x14, 0x12, 0x7F, 0x10}}, {'5', {0x27, 0x45, 0x45, 0x45, 0x39}},
    {'6', {0x3C, 0x4A, 0x49, 0x49, 0x30}}, {'7', {0x01, 0x71, 0x09, 0x05, 0x03}},
    {'8', {0x36, 0x49, 0x49, 0x49, 0x36}}, {'9', {0x06, 0x49, 0x49, 0x29, 0x1E}},
    {'.', {0x00, 0x60, 0x60, 0x00, 0x00}}, {':', {0x00, 0x36, 0x36, 0x00, 0x00}},
    {'-', {0x08, 0x08, 0x08, 0x08, 0x08}}, {'%', {0x23, 0x13, 0x08, 0x64, 0x62}},
    {'*', {0x00, 0x06, 0x09, 0x09, 0x06}}, {'A', {0x7E, 0x11, 0x11, 0x11, 0x7E}},
    {'C', {0x3E, 0x41, 0x41, 0x41, 0x22}}, {'D', {0x7F, 0x41, 0x41, 0x22, 0x1C}},
    {'E', {0x7F, 0x49, 0x49, 0x49, 0x41}}, {'H', {0x7F, 0x08, 0x08, 0x08, 0x7F}},
    {'L', {0x7F, 0x40, 0x40, 0x40, 0x40}}, {'T', {0x01, 0x01, 0x7F, 0x01, 0x01}},
    {'V', {0x1F, 0x20, 0x40, 0x20, 0x1F}}, {'N', {0x7F, 0x04, 0x08, 0x10, 0x7F}},
    {'O', {0x3E, 0x41, 0x41, 0x41, 0x3E}},
};

class Screen {
public:
    Screen() : m_bytes(kScreenImageBytes, 0) {}
    void set(std::size_t x, std::size_t y) {
        if (x >= kScreenWidth || y >= kScreenHeight) return;
        m_bytes[(y / 8) * kScreenWidth + x] |= static_cast<std::uint8_t>(1U << (y % 8));
    }
    void text(std::size_t x, std::size_t y, std::string_view line) {
        for (char symbol : line) {
            const auto glyph = std::find_if(std::begin(kFont), std::end(kFont),
                                            [symbol](const Glyph &g) { return g.symbol == symbol; });
            if (glyph != std::end(kFont))
                for (std::size_t column = 0; column < 5; ++column)
                    for (std::size_t row = 0; row < 7; ++row)
                        if (glyph->columns[column] & (1U << row)) set(x + column, y + row);
            x += 6;
        }
    }
    void horizontal(std::size_t y, std::size_t x0, std::size_t x1) {
        for (std::size_t x = x0; x <= x1; ++x)
            set(x, y);
    }
    void vertical(std::size_t x, std::size_t y0, std::size_t y1) {
        for (std::size_t y = y0; y <= y1; ++y)
            set(x, y);
    }
    Bytes take() { return std::move(m_bytes); }

private:
    Bytes m_bytes;
};

std::string Fixed(float value, int decimals) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
    // The library may run inside a program whose C locale uses a decimal comma.
    for (char &c : text)
        if (c == ',') c = '.';
    return text;
}

} // namespace

std::uint16_t Crc16Arc(const std::uint8_t *data, std::size_t size) {
    static const auto table = [] {
        std::array<std::uint16_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t r = i;
            for (int bit = 0; bit < 8; ++bit)
                r = (r & 1U) ? (r >> 1) ^ 0xA001U : r >> 1;
            t[i] = static_cast<std::uint16_t>(r);
        }
        return t;
    }();
    std::uint16_t r = 0;
    for (std::size_t i = 0; i < size; ++i)
        r = static_cast<std::uint16_t>((r >> 8) ^ table[(r ^ data[i]) & 0xFFU]);
    return r;
}

std::size_t RecordBytes(int format) {
    return format == 0 ? kShortRecordBytes : kLongRecordBytes;
}
std::size_t ParamBlockBytes(int format) {
    return format == 0 ? kShortParamBlockBytes : kLongParamBlockBytes;
}
std::size_t ArchiveSlots(int format) {
    return 32 * (format == 0 ? kShortBitmapWordCount : kLongBitmapWordCount);
}

std::optional<int> FormatOfFirmwareDate(std::string_view date) {
    const auto day = DayNumber(date);
    if (!day) return std::nullopt;
    if (*day < *DayNumber("24.09.2012")) return -1;
    if (*day < *DayNumber("12.12.2016")) return 0;
    if (*day < *DayNumber("11.04.2017")) return 1;
    return 2;
}

std::string DefaultFirmwareDate(int format) {
    switch (format) {
    case 0:
        return "14.05.2015";
    case 1:
        return "20.01.2017";
    default:
        return "13.03.2018";
    }
}

Bytes EncodeRecord(int format, const Reading &r) {
    const auto yearByte = static_cast<std::uint8_t>((r.year - 2000) & 0xFF);
    if (format == 0) {
        Bytes b(kShortRecordBytes, 0);
        b[0] = r.channels;
        b[1] = static_cast<std::uint8_t>(r.number);
        b[2] = static_cast<std::uint8_t>(r.series);
        b[3] = static_cast<std::uint8_t>(r.modeCount);
        PutFloat(b, 4, r.humidity1);
        PutFloat(b, 8, r.humidity2);
        PutFloat(b, 12, r.aux1);
        PutFloat(b, 16, r.aux2);
        PutFloat(b, 20, r.temperature1);
        PutFloat(b, 24, r.temperature2);
        PutTimeAndSensors(b, 28, r, yearByte);
        return b;
    }
    Bytes b(kLongRecordBytes, 0);
    b[0] = r.channels;
    PutU16(b, 2, r.modeCount);
    PutU16(b, 4, r.number);
    PutU16(b, 6, r.series);
    PutFloat(b, 8, r.humidity1);
    PutFloat(b, 12, r.humidity2);
    PutFloat(b, 16, r.aux1);
    PutFloat(b, 20, r.aux2);
    PutFloat(b, 24, r.temperature1);
    PutFloat(b, 28, r.temperature2);
    PutTimeAndSensors(b, 32, r, yearByte);
    PutU16(b, kLongCheckOffset, Crc16Arc(b.data(), kLongCheckOffset));
    return b;
}

void SpoilRecordCheck(Bytes &record) {
    if (record.size() < kLongCheckOffset + 2) return;
    std::uint16_t check =
        static_cast<std::uint16_t>(record[kLongCheckOffset] | (record[kLongCheckOffset + 1] << 8));
    check ^= 0x0101;
    if (check == kNoChecksum) check ^= 0x0202;
    PutU16(record, kLongCheckOffset, check);
}

std::vector<Bytes> GenerateArchive(int format, std::size_t count, std::uint32_t seed) {
    Noise noise(seed);
    std::vector<Bytes> records;
    records.reserve(count);
    Moment moment{BaseDay(format), 0, 0};
    for (std::size_t i = 0; i < count; ++i) {
        Reading reading = RoomAndPipe(format, moment, noise);
        reading.number = static_cast<std::uint16_t>(i + 1);
        records.push_back(EncodeRecord(format, reading));
        moment.minuteOfDay += kQuarterHourMinutes;
        if (moment.minuteOfDay >= 24 * 60) {
            moment.minuteOfDay = 0;
            moment.day += std::chrono::days{1};
        }
    }
    return records;
}

std::vector<Bytes> DemoArchive(CalendarDay endDay) {
    using namespace std::chrono;
    constexpr int kDays = 3;
    constexpr int kSeriesMinuteOfDay = 11 * 60;
    constexpr int kSeriesPoints = 3;
    constexpr int kMeasurementsPerPoint = 4;
    constexpr int kSeriesIntervalSeconds = 10;

    const sys_days end{year{endDay.year} / month{static_cast<unsigned>(endDay.month)} /
                       day{static_cast<unsigned>(endDay.day)}};
    Noise noise(20240611);
    std::vector<Bytes> records;
    std::uint16_t number = 0;
    for (sys_days d = end - days{kDays}; d < end; d += days{1}) {
        for (int minuteOfDay = 0; minuteOfDay < 24 * 60; minuteOfDay += kQuarterHourMinutes) {
            Reading reading = RoomAndPipe(2, Moment{d, minuteOfDay, 0}, noise);
            reading.number = ++number;
            records.push_back(EncodeRecord(2, reading));
            // A survey along the pipe on the middle day: a series of points, a few readings each.
            if (d == end - days{2} && minuteOfDay == kSeriesMinuteOfDay) {
                int second = 0;
                for (int point = 1; point <= kSeriesPoints; ++point) {
                    for (int k = 1; k <= kMeasurementsPerPoint; ++k) {
                        second += kSeriesIntervalSeconds;
                        Reading s = RoomAndPipe(2, Moment{d, minuteOfDay + second / 60, second % 60}, noise);
                        s.temperature2 = Rounded(s.temperature2 - 4.0f * static_cast<float>(point - 1), 0.01);
                        s.series = 1;
                        s.number = static_cast<std::uint16_t>(point);
                        s.modeCount = static_cast<std::uint16_t>(k);
                        records.push_back(EncodeRecord(2, s));
                    }
                }
            }
        }
    }
    return records;
}

Bytes BuildParamBlock(int format, std::size_t recordCount, ParamCheck check) {
    const std::size_t size = ParamBlockBytes(format);
    Bytes block(size, 0);
    recordCount = std::min(recordCount, ArchiveSlots(format));
    for (std::size_t slot = 0; slot < recordCount; ++slot)
        block[slot / 8] |= static_cast<std::uint8_t>(1U << (slot % 8));
    // A few instrument settings after the bitmap: logging interval in seconds, channel count, contrast.
    const std::size_t settings = 4 * (format == 0 ? kShortBitmapWordCount : kLongBitmapWordCount);
    PutU16(block, settings, 900);
    block[settings + 2] = 2;
    block[settings + 3] = 40;
    std::uint16_t field = Crc16Arc(block.data(), size - 4);
    if (check == ParamCheck::NoChecksum) field = kNoChecksum;
    if (check == ParamCheck::Bad)
        field = static_cast<std::uint16_t>(field ^ (field == 0x5555 ? 0x1111 : 0xFFFF));
    PutU16(block, size - 4, field);
    return block;
}

Bytes BuildVersionReply(const std::string &firmwareDate) {
    const std::string text = "VELDA-9 v4.07 " + firmwareDate;
    return Bytes(text.begin(), text.end());
}

std::optional<Reading> DecodeLongRecord(const Bytes &record) {
    if (record.size() != kLongRecordBytes) return std::nullopt;
    Reading r;
    r.channels = record[0];
    r.humidity1 = GetFloat(record, 8);
    r.temperature1 = GetFloat(record, 24);
    r.temperature2 = GetFloat(record, 28);
    r.second = record[32];
    r.minute = record[33];
    r.hour = record[34];
    r.day = record[35];
    r.month = record[36];
    r.year = 2000 + record[37];
    return r;
}

std::optional<ClockTime> ClockAfter(const Bytes &payload, std::int64_t elapsedSeconds) {
    using namespace std::chrono;
    if (payload.size() != 6 || payload[0] > 59 || payload[1] > 59 || payload[2] > 23) return std::nullopt;
    const year_month_day set{year{2000 + payload[5]}, month{payload[4]}, day{payload[3]}};
    if (!set.ok()) return std::nullopt;
    const auto moment = sys_days{set} + hours{payload[2]} + minutes{payload[1]} + seconds{payload[0]} +
                        seconds{std::max<std::int64_t>(elapsedSeconds, 0)};
    const auto dayStart = floor<days>(moment);
    const year_month_day ymd{dayStart};
    const hh_mm_ss<seconds> time{moment - dayStart};
    return ClockTime{static_cast<int>(ymd.year()),
                     static_cast<int>(static_cast<unsigned>(ymd.month())),
                     static_cast<int>(static_cast<unsigned>(ymd.day())),
                     static_cast<int>(time.hours().count()),
                     static_cast<int>(time.minutes().count()),
                     static_cast<int>(time.seconds().count())};
}

Bytes BuildScreenImage(const std::optional<Reading> &latest, const std::optional<ClockTime> &clock) {
    Screen screen;
    screen.horizontal(0, 0, kScreenWidth - 1);
    screen.horizontal(kScreenHeight - 1, 0, kScreenWidth - 1);
    screen.vertical(0, 0, kScreenHeight - 1);
    screen.vertical(kScreenWidth - 1, 0, kScreenHeight - 1);
    screen.text(4, 3, "VELDA-9");
    screen.horizontal(12, 1, kScreenWidth - 2);
    std::optional<ClockTime> shown = clock;
    if (!shown && latest)
        shown =
            ClockTime{latest->year, latest->month, latest->day, latest->hour, latest->minute, latest->second};
    if (shown) {
        char time[16];
        std::snprintf(time, sizeof time, "%02d:%02d", shown->hour % 100, shown->minute % 100);
        screen.text(kScreenWidth - 4 - 5 * 6, 3, time);
        char date[16];
        std::snprintf(date, sizeof date, "%02d.%02d.%04d", shown->day % 100, shown->month % 100,
                      shown->year % 10000);
        screen.text(6, 52, date);
    }
    if (!latest) {
        screen.text(34, 28, "NO DATA");
        return screen.take();
    }
    screen.text(6, 17, "T1 " + Fixed(latest->temperature1, 2) + " *C");
    screen.text(6, 28, "H1 " + Fixed(latest->humidity1, 1) + " %");
    screen.text(6, 39, "T2 " + Fixed(latest->temperature2, 2) + " *C");
    return screen.take();
}

} // namespace velda::sim
