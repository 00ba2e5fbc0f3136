// Record decoding driven by one table of field offsets per layout.
#include "archive/ArchiveRecord.h"

#include "base/LittleEndian.h"

#include <algorithm>
#include <array>

namespace velda {
namespace {

struct RecordLayout {
    std::size_t size;
    std::size_t counterWidth; // Number, ModeCount and Series: 1 byte in ShortRecord, 2 in LongRecord
    std::size_t channels;
    std::size_t number;
    std::size_t series;
    std::size_t modeCount;
    std::size_t humidity1;
    std::size_t humidity2;
    std::size_t aux1;
    std::size_t aux2;
    std::size_t temperature1;
    std::size_t temperature2;
    std::size_t second; // then minute, hour, day, month, year, sensor 1 and sensor 2, one byte each
};

constexpr RecordLayout kShortLayout{
    .size = kShortRecordSize,
    .counterWidth = 1,
    .channels = 0,
    .number = 1,
    .series = 2,
    .modeCount = 3,
    .humidity1 = 4,
    .humidity2 = 8,
    .aux1 = 12,
    .aux2 = 16,
    .temperature1 = 20,
    .temperature2 = 24,
    .second = 28,
};

constexpr RecordLayout kLongLayout{
    .size = kLongRecordSize,
    .counterWidth = 2,
    .channels = 0,
    .number = 4,
    .series = 6,
    .modeCount = 2,
    .humidity1 = 8,
    .humidity2 = 12,
    .aux1 = 16,
    .aux2 = 20,
    .temperature1 = 24,
    .temperature2 = 28,
    .second = 32,
};

// Fields of a record that may be cut short: bytes beyond its end read as zero.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : m_bytes(bytes) {}
    [[nodiscard]] std::uint8_t u8(std::size_t offset) const {
        return offset < m_bytes.size() ? m_bytes[offset] : std::uint8_t{0};
    }
    [[nodiscard]] std::uint16_t u16(std::size_t offset) const { return le::U16(field<2>(offset).data()); }
    [[nodiscard]] std::uint16_t counter(std::size_t offset, std::size_t width) const {
        return width == 1 ? u8(offset) : u16(offset);
    }
    [[nodiscard]] float f32(std::size_t offset) const { return le::F32(field<4>(offset).data()); }

private:
    template <std::size_t N>
    [[nodiscard]] std::array<std::uint8_t, N> field(std::size_t offset) const {
        std::array<std::uint8_t, N> bytes{};
        for (std::size_t i = 0; i < N; ++i)
            bytes[i] = u8(offset + i);
        return bytes;
    }

    std::span<const std::uint8_t> m_bytes;
};

} // namespace

// Letters that look Latin are Latin: the X/K of the English names, "Pt", "SHT", "MK", "BMP280",
// "DS18B20"; in the Russian name of the last code a Cyrillic Ha is followed by a Latin K.
const TextPair SensorTableA[10] = {
    {"Свободен     ", "Free         "}, {"ХА-Термопара ", "XA-Thermopair"},
    {"ХК-Термопара ", "XK-Thermopair"}, {"DS18B20      ", "DS18B20      "},
    {"Тепл. поток  ", "Therm. stream"}, {"MK SHT       ", "MK SHT       "},
    {"SHT          ", "SHT          "}, {"Термосопр. Pt", "Thermistor Pt"},
    {"ХА-Т. пара+Pt", "XA-T. pair+Pt"}, {"Х\x4B-Т. пара+Pt", "XK-T. pair+Pt"},
};

const TextPair SensorTableB[12] = {
    {"Свободен     ", "Free         "}, {"ХА-Термопара ", "XA-Thermopair"},
    {"ХК-Термопара ", "XK-Thermopair"}, {"ТПР-Термопара", "TPR-Thermopair"},
    {"DS18B20      ", "DS18B20      "}, {"Тепл. поток  ", "Therm. stream"},
    {"MK SHT       ", "MK SHT       "}, {"MK BMP280 SHT", "MK BMP280 SHT"},
    {"SHT          ", "SHT          "}, {"Термосопр. Pt", "Thermistor Pt"},
    {"ХА-Т. пара+Pt", "XA-T. pair+Pt"}, {"Х\x4B-Т. пара+Pt", "XK-T. pair+Pt"},
};

SensorTable SensorTableOf(int archiveFormat) {
    return archiveFormat == 2 ? SensorTable::B : SensorTable::A;
}

ArchiveRecord DecodeRecord(int archiveFormat, std::span<const std::uint8_t> bytes) {
    const RecordLayout &layout = archiveFormat == 0 ? kShortLayout : kLongLayout;
    const Reader in(bytes.first(std::min(bytes.size(), layout.size)));
    ArchiveRecord r;
    r.Channels = in.u8(layout.channels);
    r.Number = in.counter(layout.number, layout.counterWidth);
    r.Series = in.counter(layout.series, layout.counterWidth);
    r.ModeCount = in.counter(layout.modeCount, layout.counterWidth);
    r.Humidity1 = in.f32(layout.humidity1);
    r.Humidity2 = in.f32(layout.humidity2);
    r.Aux1 = in.f32(layout.aux1);
    r.Aux2 = in.f32(layout.aux2);
    r.Temperature1 = in.f32(layout.temperature1);
    r.Temperature2 = in.f32(layout.temperature2);
    r.Second = in.u8(layout.second);
    r.Minute = in.u8(layout.second + 1);
    r.Hour = in.u8(layout.second + 2);
    r.Day = in.u8(layout.second + 3);
    r.Month = in.u8(layout.second + 4);
    r.Year = in.u8(layout.second + 5);
    r.Sensor1 = in.u8(layout.second + 6);
    r.Sensor2 = in.u8(layout.second + 7);
    r.Table = SensorTableOf(archiveFormat);
    return r;
}

int SensorCodeCount(SensorTable table) {
    return table == SensorTable::B ? 12 : 10;
}

int SensorIndex(SensorTable table, std::uint8_t code) {
    const int signedCode = static_cast<std::int8_t>(code);
    if (signedCode < 0 || signedCode >= SensorCodeCount(table)) return -1;
    return signedCode;
}

std::optional<QString> SensorName(SensorTable table, std::uint8_t code, std::uint8_t language) {
    const int index = SensorIndex(table, code);
    if (index < 0) return std::nullopt;
    const TextPair *names = table == SensorTable::B ? SensorTableB : SensorTableA;
    return PickIn(names[index], language);
}

} // namespace velda
