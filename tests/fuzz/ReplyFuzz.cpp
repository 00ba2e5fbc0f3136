// Fuzz target: the reply side of the instrument protocol, in the order of an archive read. A fake
// transport serves the fuzz bytes as the instrument's replies: the version reply and its firmware date,
// the parameter block with its check and record count, then the records.
//
// Each transfer takes one control byte: 0xF0 and above fail the transfer; an odd byte delivers at most
// byte / 2 bytes (a short transfer); an even byte delivers what was asked for, as far as the input lasts.
#include "FuzzCheck.h"

#include "device/Protocol.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace {

constexpr std::size_t kShortParamBlock = 6608;
constexpr std::size_t kLongParamBlock = 11096;
constexpr std::uint32_t kMaxRecordsRead = 16;

class FakeTransport {
public:
    FakeTransport(const std::uint8_t *data, std::size_t size) : m_data(data), m_size(size) {}

    // The buffer the reply may land in; a read outside it is a finding.
    void expect(std::span<std::uint8_t> buffer) { m_buffer = buffer; }

    velda::BulkReader reader() {
        return [this](std::uint8_t *buffer, int length) {
            FUZZ_CHECK(length >= 0);
            FUZZ_CHECK(buffer >= m_buffer.data());
            FUZZ_CHECK(buffer + length <= m_buffer.data() + m_buffer.size());
            if (m_pos >= m_size) return -1;
            const std::uint8_t control = m_data[m_pos++];
            if (control >= 0xF0) return -1;
            std::size_t n = std::min(static_cast<std::size_t>(length), m_size - m_pos);
            if (control & 1U) n = std::min<std::size_t>(n, control >> 1);
            if (n > 0) std::memcpy(buffer, m_data + m_pos, n);
            m_pos += n;
            return static_cast<int>(n);
        };
    }
    [[nodiscard]] bool exhausted() const { return m_pos >= m_size; }

private:
    const std::uint8_t *m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
    std::span<std::uint8_t> m_buffer;
};

std::uint16_t BitwiseCrc(std::span<const std::uint8_t> bytes) {
    std::uint16_t crc = 0;
    for (std::uint8_t b : bytes) {
        crc ^= b;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1U) ? static_cast<std::uint16_t>((crc >> 1) ^ 0xA001U)
                             : static_cast<std::uint16_t>(crc >> 1);
    }
    return crc;
}

bool ReferenceCheck(std::span<const std::uint8_t> block) {
    if (block.size() < 4) return false;
    const std::size_t at = block.size() - 4;
    if (block[at] == 0xAA && block[at + 1] == 0xAA) return true;
    return BitwiseCrc(block) == 0;
}

std::uint32_t ReferenceCount(std::span<const std::uint8_t> block, std::size_t words) {
    std::uint32_t count = 0;
    for (std::size_t i = 0; i < std::min(words * 4, block.size() / 4 * 4); ++i)
        count += static_cast<std::uint32_t>(std::popcount(block[i]));
    return count;
}

// The firmware's verdict from the date text alone, by the rule's three boundary dates.
void CheckVerdict(std::span<const std::uint8_t> reply, std::uint32_t declared) {
    const velda::FirmwareVerdict verdict = velda::FirmwareFormat(reply, declared);
    if (declared < velda::kFirmwareDateLength || declared > reply.size()) {
        FUZZ_CHECK(verdict == velda::FirmwareVerdict::Unreadable);
        return;
    }
    const auto *start = reinterpret_cast<const char *>(reply.data() + declared - velda::kFirmwareDateLength);
    const std::string_view date(start, strnlen(start, velda::kFirmwareDateLength));
    const auto day = velda::DateDayNumber(date);
    FUZZ_CHECK(day.has_value() == (verdict != velda::FirmwareVerdict::Unreadable));
    if (!day) return;
    FUZZ_CHECK(!velda::DateLess(date, date));
    const bool outdated = velda::DateLess(date, "24.09.2012");
    FUZZ_CHECK(outdated == (verdict == velda::FirmwareVerdict::Outdated));
    FUZZ_CHECK(velda::FormatNumber(verdict).has_value() == !outdated);
    if (!velda::DateLess(date, "11.04.2017")) FUZZ_CHECK(verdict == velda::FirmwareVerdict::Format2);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    FakeTransport link(data, size);

    std::array<std::uint8_t, velda::kVersionBufferSize> version{};
    link.expect(version);
    const velda::ReplyResult versionReply = velda::ReadReply(link.reader(), version, std::nullopt);
    const std::uint32_t declared =
        versionReply.ok() ? versionReply.value() : versionReply.error().declaredLength;
    CheckVerdict(version, declared);
    int format = 2;
    if (versionReply.ok()) {
        if (const auto number = velda::FormatNumber(velda::FirmwareFormat(version, declared)))
            format = *number;
    }

    std::vector<std::uint8_t> block(format == 0 ? kShortParamBlock : kLongParamBlock);
    link.expect(block);
    const velda::ReplyResult blockReply = velda::ReadReply(link.reader(), block, block.size());
    if (!blockReply.ok() && link.exhausted()) return 0;
    FUZZ_CHECK(velda::CheckBlock(block) == ReferenceCheck(block));
    const std::size_t words = format == 0 ? velda::kShortBitmapWords : velda::kLongBitmapWords;
    const std::uint32_t count = velda::CountRecords(block, words);
    FUZZ_CHECK(count == ReferenceCount(block, words));
    FUZZ_CHECK(count <= 32 * words);
    // A bitmap word count beyond the block counts only what the block holds.
    FUZZ_CHECK(velda::CountRecords(std::span(block).first(block.size() % 64), 1000) ==
               ReferenceCount(std::span(block).first(block.size() % 64), 1000));

    const std::size_t recordSize = format == 0 ? 36 : 44;
    std::array<std::uint8_t, 44> slot{};
    for (std::uint32_t i = 0; i < std::min(count, kMaxRecordsRead) && !link.exhausted(); ++i) {
        slot.fill(0);
        const std::span<std::uint8_t> record(slot.data(), recordSize);
        link.expect(record);
        if (!velda::ReadReply(link.reader(), record, recordSize).ok()) break;
        FUZZ_CHECK(velda::CheckBlock(record) == ReferenceCheck(record));
    }
    return 0;
}
