// Protocol vectors: CRC, block check, record count, firmware date rule, clock payload, reply framing.
#include "device/Protocol.h"

#include <gtest/gtest.h>

#include <QDate>
#include <QTime>

#include <deque>
#include <string>
#include <vector>

using namespace velda;

namespace {

std::vector<std::uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

// A block whose check field holds the CRC of the bytes before it, low byte first, then two zero bytes.
std::vector<std::uint8_t> SealedBlock(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> block(size);
    for (std::size_t i = 0; i + 4 < size; ++i)
        block[i] = static_cast<std::uint8_t>(seed + i * 7);
    const std::uint16_t crc = Crc16(block.data(), size - 4);
    block[size - 4] = static_cast<std::uint8_t>(crc & 0xFF);
    block[size - 3] = static_cast<std::uint8_t>(crc >> 8);
    return block;
}

std::vector<std::uint8_t> VersionReply(const std::string &prefix, const std::string &date) {
    auto reply = Bytes(prefix + date);
    reply.resize(kVersionBufferSize, 0xEE);
    return reply;
}

// Serves chunks like the instrument: each read returns at most what was asked; a negative entry fails.
struct ScriptedReader {
    std::deque<std::vector<std::uint8_t>> chunks;
    std::vector<int> asked;
    int failAt = -1;
    int operator()(std::uint8_t *buffer, int length) {
        asked.push_back(length);
        if (static_cast<int>(asked.size()) - 1 == failAt) return -110;
        if (chunks.empty()) return -110;
        auto chunk = chunks.front();
        chunks.pop_front();
        const auto n = std::min<std::size_t>(chunk.size(), static_cast<std::size_t>(length));
        std::copy_n(chunk.begin(), n, buffer);
        return static_cast<int>(n);
    }
};

std::vector<std::uint8_t> Le32(std::uint32_t value) {
    return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
            static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

} // namespace

TEST(Crc16, CheckValueAndKnownVectors) {
    const auto digits = Bytes("123456789");
    EXPECT_EQ(Crc16(digits.data(), digits.size()), 0xBB3D);
    EXPECT_EQ(Crc16(nullptr, 0), 0x0000);
    const std::uint8_t a = 'A';
    EXPECT_EQ(Crc16(&a, 1), 0x30C0);
}

TEST(CheckBlock, SealedMarkedZeroAndSpoiledBlocks) {
    struct Case {
        const char *name;
        std::vector<std::uint8_t> block;
        bool passes;
    };
    std::vector<Case> cases;
    for (std::size_t size : {std::size_t{44}, std::size_t{6608}, std::size_t{11096}})
        cases.push_back({"sealed", SealedBlock(size, 3), true});
    auto spoiled = SealedBlock(44, 3);
    spoiled[10] ^= 0x01;
    cases.push_back({"one bit flipped", spoiled, false});
    auto marked = spoiled;
    marked[40] = 0xAA;
    marked[41] = 0xAA;
    cases.push_back({"0xAAAA marks a block without checksum", marked, true});
    cases.push_back({"all zero", std::vector<std::uint8_t>(11096, 0), true});
    auto trailing = SealedBlock(44, 9);
    trailing[43] = 1;
    cases.push_back({"the CRC runs over the full capacity", trailing, false});
    cases.push_back({"too short for a check field", std::vector<std::uint8_t>(3, 0), false});
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(CheckBlock(c.block), c.passes);
    }
}

TEST(CountRecords, CountsSetBitsOfTheFirstWordsOnly) {
    std::vector<std::uint8_t> block(11096, 0);
    EXPECT_EQ(CountRecords(block, kLongBitmapWords), 0u);
    block[0] = 0x01;          // word 0 bit 0
    block[4 * 40 + 3] = 0x80; // word 40 bit 31
    block[4 * 83] = 0x10;     // last word of the long bitmap
    EXPECT_EQ(CountRecords(block, kLongBitmapWords), 3u);
    EXPECT_EQ(CountRecords(block, kShortBitmapWords), 2u);
    block[4 * 84] = 0xFF; // beyond the bitmap
    EXPECT_EQ(CountRecords(block, kLongBitmapWords), 3u);
    std::fill_n(block.begin(), 4 * kLongBitmapWords, 0xFF);
    EXPECT_EQ(CountRecords(block, kLongBitmapWords), 2688u);
}

TEST(FirmwareFormat, DateEdges) {
    struct Case {
        const char *date;
        FirmwareVerdict verdict;
    };
    const Case cases[] = {
        {"23.09.2012", FirmwareVerdict::Outdated},   {"24.09.2012", FirmwareVerdict::Format0},
        {"11.12.2016", FirmwareVerdict::Format0},    {"12.12.2016", FirmwareVerdict::Format1},
        {"31.03.2017", FirmwareVerdict::Format1},    {"11.04.2017", FirmwareVerdict::Format2},
        {"13.03.2018", FirmwareVerdict::Format2},    {"01.01.1999", FirmwareVerdict::Outdated},
        {"1x.03.2018", FirmwareVerdict::Unreadable},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.date);
        const auto reply = VersionReply("VELDA-9 v", c.date);
        EXPECT_EQ(FirmwareFormat(reply, 19), c.verdict);
    }
}

TEST(FirmwareFormat, DateIsTakenAtDeclaredLengthAndStaysInsideTheBuffer) {
    auto reply = VersionReply("", "13.03.2018");
    EXPECT_EQ(FirmwareFormat(reply, 10), FirmwareVerdict::Format2);
    // Zero-terminated: a shorter text before the zero is no date.
    reply[5] = 0;
    EXPECT_EQ(FirmwareFormat(reply, 10), FirmwareVerdict::Unreadable);
    const auto full = VersionReply("0123456789012345678901", "01.01.2017");
    EXPECT_EQ(FirmwareFormat(full, 32), FirmwareVerdict::Format1);
    EXPECT_EQ(FirmwareFormat(full, 33), FirmwareVerdict::Unreadable);
    EXPECT_EQ(FirmwareFormat(full, 9), FirmwareVerdict::Unreadable);
    EXPECT_EQ(FirmwareFormat(full, 0xFFFFFFFFu), FirmwareVerdict::Unreadable);
}

TEST(DateLess, DayNumberIsApproximate) {
    EXPECT_FALSE(DateLess("31.01.2017", "01.02.2017"));
    EXPECT_FALSE(DateLess("01.02.2017", "31.01.2017"));
    EXPECT_TRUE(DateLess("23.09.2012", "24.09.2012"));
    EXPECT_FALSE(DateLess("24.09.2012", "24.09.2012"));
    EXPECT_EQ(DateDayNumber("13.03.2018"), 13 + 30 * 3 + 365 * 2018);
}

TEST(ClockPayload, Examples) {
    struct Case {
        const char *name;
        QDateTime time;
        std::array<std::uint8_t, 6> payload;
    };
    const Case cases[] = {
        {"13.03.2018 14:05:09", QDateTime(QDate(2018, 3, 13), QTime(14, 5, 9, 999)), {9, 5, 14, 13, 3, 18}},
        {"year 2000", QDateTime(QDate(2000, 1, 1), QTime(0, 0, 0)), {0, 0, 0, 1, 1, 0}},
        {"year 1999", QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)), {59, 59, 23, 31, 12, 255}},
        {"year 2255 wraps", QDateTime(QDate(2256, 2, 29), QTime(1, 2, 3)), {3, 2, 1, 29, 2, 0}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ClockPayload(c.time), c.payload);
    }
}

TEST(Commands, Bytes) {
    EXPECT_EQ(VersionRequest, (std::array<std::uint8_t, 2>{0x01, 0xFE}));
    EXPECT_EQ(ParamRequest, (std::array<std::uint8_t, 2>{0x02, 0xFD}));
    EXPECT_EQ(ClockSet, (std::array<std::uint8_t, 2>{0x07, 0xF8}));
    EXPECT_EQ(ScreenRequest, (std::array<std::uint8_t, 2>{0x08, 0xF7}));
    EXPECT_EQ(RecordRequest(0x0A7F), (std::array<std::uint8_t, 4>{0x03, 0xFC, 0x7F, 0x0A}));
}

TEST(ReadReply, TwoReadsCappedAndShortTransfers) {
    struct Case {
        const char *name;
        std::uint32_t declared;
        std::size_t dataBytes;
        std::size_t bufferSize;
        std::optional<std::size_t> cap;
        int failAt;
        bool ok;
        int secondAsk;
    };
    const Case cases[] = {
        {"exact", 44, 44, 44, 44, -1, true, 44},
        {"declared above the cap reads the cap", 5000, 5000, 44, 44, -1, true, 44},
        {"uncapped never exceeds the buffer", 40, 40, 32, std::nullopt, -1, true, 32},
        {"short data is success", 44, 10, 44, 44, -1, true, 44},
        {"length read fails", 44, 44, 44, 44, 0, false, -1},
        {"data read fails", 44, 44, 44, 44, 1, false, 44},
        {"screen cap", 4096, 4096, 1024, 1024, -1, true, 1024},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedReader reader;
        reader.failAt = c.failAt;
        reader.chunks.push_back(Le32(c.declared));
        std::vector<std::uint8_t> data(c.dataBytes);
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<std::uint8_t>(i + 1);
        reader.chunks.push_back(data);
        std::vector<std::uint8_t> buffer(c.bufferSize, 0xCC);
        const auto result = ReadReply(std::ref(reader), buffer, c.cap);
        EXPECT_EQ(result.ok(), c.ok);
        ASSERT_GE(reader.asked.size(), 1u);
        EXPECT_EQ(reader.asked[0], 4);
        if (c.secondAsk < 0) {
            EXPECT_EQ(reader.asked.size(), 1u);
            continue;
        }
        ASSERT_EQ(reader.asked.size(), 2u);
        EXPECT_EQ(reader.asked[1], c.secondAsk);
        EXPECT_EQ(result.ok() ? result.value() : result.error().declaredLength, c.declared);
        if (!c.ok) continue;
        // Data from the first byte; beyond a short transfer the buffer keeps the length bytes / old bytes.
        const std::size_t got = std::min<std::size_t>(c.dataBytes, static_cast<std::size_t>(c.secondAsk));
        std::vector<std::uint8_t> expected(c.bufferSize, 0xCC);
        const auto length = Le32(c.declared);
        std::copy(length.begin(), length.end(), expected.begin());
        std::copy_n(data.begin(), got, expected.begin());
        EXPECT_EQ(buffer, expected);
    }
}
