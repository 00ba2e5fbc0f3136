// The instrument's byte protocol.
#include "device/Protocol.h"

#include "base/LittleEndian.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <bit>

namespace velda {

namespace {

constexpr std::size_t kLengthFieldSize = 4;
constexpr std::size_t kCheckFieldBack = 4;

constexpr std::array<std::uint16_t, 256> MakeCrcTable() {
    std::array<std::uint16_t, 256> table{};
    for (unsigned n = 0; n < 256; ++n) {
        auto r = static_cast<std::uint16_t>(n);
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1U) ? static_cast<std::uint16_t>((r >> 1) ^ 0xA001U)
                         : static_cast<std::uint16_t>(r >> 1);
        table[n] = r;
    }
    return table;
}

constexpr std::array<std::uint16_t, 256> kCrcTable = MakeCrcTable();

std::optional<long> DecimalField(std::string_view text) {
    if (text.empty()) return std::nullopt;
    long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::array<std::uint8_t, 4> RecordRequest(std::uint16_t index) {
    return {0x03, 0xFC, static_cast<std::uint8_t>(index & 0xFFU), static_cast<std::uint8_t>(index >> 8)};
}

ReplyResult ReadReply(const BulkReader &read, std::span<std::uint8_t> buffer,
                      std::optional<std::size_t> cap) {
    if (buffer.size() < kLengthFieldSize) return ReplyError{ReplyError::Kind::BufferTooSmall, 0};
    // The length lands in the buffer as the instrument sends it; a short read keeps the earlier bytes.
    if (read(buffer.data(), static_cast<int>(kLengthFieldSize)) < 0)
        return ReplyError{ReplyError::Kind::LengthNotRead, 0};
    const std::uint32_t declared = le::U32(buffer.data());
    std::size_t wanted = declared;
    if (cap) wanted = std::min(wanted, *cap);
    // Never ask for more than the buffer holds, whatever the instrument declares.
    wanted = std::min(wanted, buffer.size());
    if (read(buffer.data(), static_cast<int>(wanted)) < 0)
        return ReplyError{ReplyError::Kind::DataNotRead, declared};
    return declared;
}

std::uint16_t Crc16(const std::uint8_t *bytes, std::size_t length) {
    std::uint16_t r = 0;
    for (std::size_t i = 0; i < length; ++i)
        r = static_cast<std::uint16_t>((r >> 8) ^ kCrcTable[(r ^ bytes[i]) & 0xFFU]);
    return r;
}

bool CheckBlock(std::span<const std::uint8_t> block) {
    if (block.size() < kCheckFieldBack) return false;
    const std::size_t offset = block.size() - kCheckFieldBack;
    const std::uint16_t field = le::U16(block.data() + offset);
    if (field == kNoChecksumMark) return true;
    return Crc16(block.data(), block.size()) == 0;
}

std::uint32_t CountRecords(std::span<const std::uint8_t> block, std::size_t words) {
    std::uint32_t count = 0;
    const std::size_t available = std::min(words, block.size() / 4);
    for (std::size_t w = 0; w < available; ++w)
        count += static_cast<std::uint32_t>(std::popcount(le::U32(block.data() + 4 * w)));
    return count;
}

std::optional<long> DateDayNumber(std::string_view date) {
    if (date.size() < kFirmwareDateLength) return std::nullopt;
    const auto day = DecimalField(date.substr(0, 2));
    const auto month = DecimalField(date.substr(3, 2));
    const auto year = DecimalField(date.substr(6, 4));
    if (!day || !month || !year) return std::nullopt;
    return *day + 30 * *month + 365 * *year;
}

bool DateLess(std::string_view a, std::string_view b) {
    const auto da = DateDayNumber(a);
    const auto db = DateDayNumber(b);
    return da && db && *da < *db;
}

std::string_view FirmwareDateText(std::span<const std::uint8_t> reply, std::uint32_t declaredLength) {
    if (declaredLength < kFirmwareDateLength || declaredLength > reply.size()) return {};
    const std::size_t start = declaredLength - kFirmwareDateLength;
    // The date is the zero-terminated text at L - 10, at most 10 characters of it.
    std::size_t length = 0;
    while (length < kFirmwareDateLength && reply[start + length] != 0)
        ++length;
    return {reinterpret_cast<const char *>(reply.data() + start), length};
}

FirmwareVerdict FirmwareFormat(std::span<const std::uint8_t> reply, std::uint32_t declaredLength) {
    if (declaredLength < kFirmwareDateLength || declaredLength > reply.size())
        return FirmwareVerdict::Unreadable;
    const auto day = DateDayNumber(FirmwareDateText(reply, declaredLength));
    if (!day) return FirmwareVerdict::Unreadable;
    if (*day < *DateDayNumber("24.09.2012")) return FirmwareVerdict::Outdated;
    if (*day < *DateDayNumber("12.12.2016")) return FirmwareVerdict::Format0;
    if (*day < *DateDayNumber("11.04.2017")) return FirmwareVerdict::Format1;
    return FirmwareVerdict::Format2;
}

std::optional<std::uint8_t> FormatNumber(FirmwareVerdict verdict) {
    switch (verdict) {
    case FirmwareVerdict::Format0:
        return 0;
    case FirmwareVerdict::Format1:
        return 1;
    case FirmwareVerdict::Format2:
        return 2;
    default:
        return std::nullopt;
    }
}

std::array<std::uint8_t, 6> ClockPayload(const QDateTime &localTime) {
    const QDate date = localTime.date();
    const QTime time = localTime.time();
    const auto yearLow = static_cast<unsigned>(date.year()) & 0xFFU;
    return {static_cast<std::uint8_t>(time.second()), static_cast<std::uint8_t>(time.minute()),
            static_cast<std::uint8_t>(time.hour()),   static_cast<std::uint8_t>(date.day()),
            static_cast<std::uint8_t>(date.month()),  static_cast<std::uint8_t>((yearLow + 48U) & 0xFFU)};
}

} // namespace velda
