// The instrument's byte protocol: commands, reply framing, block check, record count, firmware date rule
// and clock payload.
#pragma once

#include "base/Result.h"

#include <QDateTime>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string_view>

namespace velda {

inline constexpr std::array<std::uint8_t, 2> VersionRequest{0x01, 0xFE};
inline constexpr std::array<std::uint8_t, 2> ParamRequest{0x02, 0xFD};
inline constexpr std::array<std::uint8_t, 2> ClockSet{0x07, 0xF8};
inline constexpr std::array<std::uint8_t, 2> ScreenRequest{0x08, 0xF7};
/// 03 FC followed by the record index, unsigned 16-bit little-endian.
[[nodiscard]] std::array<std::uint8_t, 4> RecordRequest(std::uint16_t index);

inline constexpr std::size_t kVersionBufferSize = 32;
inline constexpr std::size_t kFirmwareDateLength = 10;
inline constexpr std::uint16_t kNoChecksumMark = 0xAAAA;
inline constexpr std::size_t kShortBitmapWords = 50;
inline constexpr std::size_t kLongBitmapWords = 84;

/// A bulk read of the transport: fills at most `length` bytes, returns their number or negative.
using BulkReader = std::function<int(std::uint8_t *buffer, int length)>;

/// Why ReadReply failed.
struct ReplyError {
    enum class Kind : std::uint8_t {
        BufferTooSmall, ///< the buffer cannot hold the 4-byte length field
        LengthNotRead,  ///< the transfer of the length field failed
        DataNotRead,    ///< the transfer of the data failed
    };
    Kind kind = Kind::LengthNotRead;
    std::uint32_t declaredLength = 0; ///< the length field, for DataNotRead; 0 otherwise
};
/// The declared length L of the reply, or why it was not read.
using ReplyResult = Result<std::uint32_t, ReplyError>;

/// Reads a framed reply with exactly two reads: the 4-byte little-endian length L into the start of
/// `buffer`, then min(L, cap) bytes again from its start (no cap when `cap` is empty). `buffer` must
/// hold at least max(4, min(L, cap)) bytes, so an uncapped read needs a buffer of L bytes: callers that
/// cannot know L pass a cap. A short transfer is not an error; the rest of the buffer keeps its bytes.
[[nodiscard]] ReplyResult ReadReply(const BulkReader &read, std::span<std::uint8_t> buffer,
                                    std::optional<std::size_t> cap);

/// CRC-16/ARC (reflected 0xA001, initial 0, no final XOR).
[[nodiscard]] std::uint16_t Crc16(const std::uint8_t *bytes, std::size_t length);

/// True when the block's check field (offset N - 4) holds 0xAAAA or the CRC over all N bytes is 0.
[[nodiscard]] bool CheckBlock(std::span<const std::uint8_t> block);

/// Number of set bits in the first `words` little-endian 32-bit words of the block.
[[nodiscard]] std::uint32_t CountRecords(std::span<const std::uint8_t> block, std::size_t words);

/// Day number of a "DD.MM.YYYY" text: day + 30 * month + 365 * year; nullopt when a field is no number.
[[nodiscard]] std::optional<long> DateDayNumber(std::string_view date);
/// True when a's day number is strictly smaller than b's.
[[nodiscard]] bool DateLess(std::string_view a, std::string_view b);

enum class FirmwareVerdict { Outdated, Format0, Format1, Format2, Unreadable };

/// The firmware date of a version reply of declared length L: the zero-terminated text at L - 10, at
/// most 10 characters ("dd.MM.yyyy"); empty when L lies outside 10..reply.size(). A view into `reply`.
[[nodiscard]] std::string_view FirmwareDateText(std::span<const std::uint8_t> reply,
                                                std::uint32_t declaredLength);

/// The archive format from a version reply of declared length L held in `reply` (the date is the text
/// at L - 10). Unreadable when L lies outside 10..reply.size() or the date is not numeric.
[[nodiscard]] FirmwareVerdict FirmwareFormat(std::span<const std::uint8_t> reply,
                                             std::uint32_t declaredLength);

/// Archive format number of a verdict (Format0..Format2), or nullopt.
[[nodiscard]] std::optional<std::uint8_t> FormatNumber(FirmwareVerdict verdict);

/// Six bytes: second, minute, hour, day, month, (low byte of the year + 48) mod 256.
[[nodiscard]] std::array<std::uint8_t, 6> ClockPayload(const QDateTime &localTime);

} // namespace velda
