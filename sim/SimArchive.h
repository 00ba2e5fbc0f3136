// The simulated instrument's memory: record encoder, generated archives, parameter block, version reply
// and screen image. Knows nothing of USB; the exported libusb functions serve what it builds.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velda::sim {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t kShortRecordBytes = 36;
inline constexpr std::size_t kLongRecordBytes = 44;
inline constexpr std::size_t kShortParamBlockBytes = 6608;
inline constexpr std::size_t kLongParamBlockBytes = 11096;
inline constexpr std::size_t kShortBitmapWordCount = 50;
inline constexpr std::size_t kLongBitmapWordCount = 84;
inline constexpr std::size_t kScreenImageBytes = 1024;
inline constexpr std::size_t kScreenWidth = 128;
inline constexpr std::size_t kScreenHeight = 64;
inline constexpr std::uint16_t kNoChecksum = 0xAAAA;

/// CRC-16/ARC: reflected polynomial 0xA001, initial value 0, no final XOR ("123456789" gives 0xBB3D).
[[nodiscard]] std::uint16_t Crc16Arc(const std::uint8_t *data, std::size_t size);

[[nodiscard]] std::size_t RecordBytes(int format);
[[nodiscard]] std::size_t ParamBlockBytes(int format);
[[nodiscard]] std::size_t ArchiveSlots(int format);

/// Archive format that a firmware date "DD.MM.YYYY" selects: -1 outdated, 0, 1 or 2; nullopt when the
/// text is not a date of that shape.
[[nodiscard]] std::optional<int> FormatOfFirmwareDate(std::string_view date);
/// A firmware date the instrument of `format` carries.
[[nodiscard]] std::string DefaultFirmwareDate(int format);

/// One stored measurement, in the instrument's own terms.
struct Reading {
    std::uint8_t channels = 2; ///< 2 both channels; 0x01 channel 1 alone; 0x21 channel 2 alone
    std::uint16_t number = 0;
    std::uint16_t modeCount = 255; ///< 255 continuous mode, otherwise the measurement within a series
    std::uint16_t series = 0;
    float humidity1 = 0, humidity2 = 0, aux1 = 0, aux2 = 0, temperature1 = 0, temperature2 = 0;
    int second = 0, minute = 0, hour = 0, day = 1, month = 1, year = 2018;
    std::uint8_t sensor1 = 0, sensor2 = 0;
};

/// The 36-byte record of format 0 or the 44-byte record of formats 1 and 2 with a valid CRC.
[[nodiscard]] Bytes EncodeRecord(int format, const Reading &reading);

/// Replaces a long record's check field by a value that fails the check (and is not 0xAAAA).
void SpoilRecordCheck(Bytes &record);

/// `count` continuous records of both channels (a temperature-humidity probe and a thermocouple), every
/// 15 minutes from a fixed date that suits `format`, with a daily swing and noise drawn from `seed`.
[[nodiscard]] std::vector<Bytes> GenerateArchive(int format, std::size_t count, std::uint32_t seed);

/// The demo archive (format 2): three days of quarter-hourly readings that end at the start of
/// `endDay` (local calendar date) plus a short series taken on the middle day.
struct CalendarDay {
    int year = 2024, month = 1, day = 1;
};
[[nodiscard]] std::vector<Bytes> DemoArchive(CalendarDay endDay);

enum class ParamCheck { Crc, NoChecksum, Bad };

/// Parameter block of `format` whose occupancy bitmap has `recordCount` bits set (slots 0 upwards).
[[nodiscard]] Bytes BuildParamBlock(int format, std::size_t recordCount, ParamCheck check);

/// Version reply data: the instrument's name and build, then the firmware date as its last 10 bytes.
[[nodiscard]] Bytes BuildVersionReply(const std::string &firmwareDate);

/// A moment on the instrument's clock.
struct ClockTime {
    int year = 2000, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

/// The clock a 6-byte clock payload (second, minute, hour, day, month, year - 2000) sets, moved on by
/// `elapsedSeconds`; nullopt when the payload holds no valid date and time.
[[nodiscard]] std::optional<ClockTime> ClockAfter(const Bytes &payload, std::int64_t elapsedSeconds);

/// The 1024-byte screen: a frame, the name line with the time, the latest readings of `latest` (if any)
/// and the date, in a 5 x 7 font laid out in 8 bands of 128 column bytes, bit 0 the top row of a band.
/// Time and date come from `clock` once the instrument's clock was set, else from the latest reading.
[[nodiscard]] Bytes BuildScreenImage(const std::optional<Reading> &latest,
                                     const std::optional<ClockTime> &clock = std::nullopt);

/// Decodes the fields the screen shows from a 44-byte record (nullopt for other sizes).
[[nodiscard]] std::optional<Reading> DecodeLongRecord(const Bytes &record);

} // namespace velda::sim
