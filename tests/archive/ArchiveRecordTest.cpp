// Record decoding of both layouts and the sensor tables' names.
#include "archive/ArchiveRecord.h"

#include "QtPrinters.h"
#include "RecordBytes.h"
#include "base/Cp1251.h"

#include <gtest/gtest.h>

using namespace velda;
using velda::test::RecordBytes;
using velda::test::RecordFields;

TEST(DecodeRecord, BothLayoutsGiveTheSameFields) {
    RecordFields fields;
    fields.channels = 0x21;
    fields.number = 200;
    fields.series = 17;
    fields.modeCount = 42;
    fields.sensor1 = 5;
    fields.sensor2 = 0xF3;
    for (int format : {0, 1, 2}) {
        SCOPED_TRACE(format);
        const auto bytes = RecordBytes(format, fields);
        ASSERT_EQ(bytes.size(), RecordSize(format));
        const ArchiveRecord r = DecodeRecord(format, bytes);
        EXPECT_EQ(r.Channels, 0x21);
        EXPECT_EQ(r.Number, 200);
        EXPECT_EQ(r.Series, 17);
        EXPECT_EQ(r.ModeCount, 42);
        EXPECT_EQ(r.Humidity1, 40.0f);
        EXPECT_EQ(r.Humidity2, 60.0f);
        EXPECT_EQ(r.Aux1, 123.45f);
        EXPECT_EQ(r.Aux2, 456.5f);
        EXPECT_EQ(r.Temperature1, 21.5f);
        EXPECT_EQ(r.Temperature2, -7.25f);
        EXPECT_EQ(r.Second, 9);
        EXPECT_EQ(r.Minute, 5);
        EXPECT_EQ(r.Hour, 23);
        EXPECT_EQ(r.Day, 31);
        EXPECT_EQ(r.Month, 12);
        EXPECT_EQ(r.Year, 18);
        EXPECT_EQ(r.Sensor1, 5);
        EXPECT_EQ(r.Sensor2, 0xF3);
        EXPECT_EQ(r.Table, format == 2 ? SensorTable::B : SensorTable::A);
    }
}

TEST(DecodeRecord, LongCountersAreLittleEndianSixteenBits) {
    RecordFields fields;
    fields.number = 0x1234;
    fields.series = 0xBEEF;
    auto bytes = RecordBytes(2, fields);
    bytes[2] = 0xFF; // ModeCount FF 00: continuous mode
    bytes[3] = 0x00;
    EXPECT_EQ(DecodeRecord(2, bytes).ModeCount, records::kContinuousMode);
    bytes[2] = 0x00; // 00 FF: a series count of 65280
    bytes[3] = 0xFF;
    const ArchiveRecord r = DecodeRecord(2, bytes);
    EXPECT_EQ(r.ModeCount, 65280);
    EXPECT_EQ(r.Number, 0x1234);
    EXPECT_EQ(r.Series, 0xBEEF);
}

TEST(DecodeRecord, ShortBuffersNeverFail) {
    const std::vector<std::uint8_t> few{0x02, 0x09};
    const ArchiveRecord r = DecodeRecord(1, few);
    EXPECT_EQ(r.Channels, 2);
    EXPECT_EQ(r.Number, 0);
    EXPECT_EQ(r.Temperature2, 0.0f);
    EXPECT_EQ(DecodeRecord(0, {}).Channels, 0);
}

TEST(SensorTables, NamesAreExactWindows1251Texts) {
    // Every name is 13 characters but the 14-character English name of the TPR thermocouple.
    for (int i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(PickIn(SensorTableA[i], 0).size(), 13);
        EXPECT_EQ(PickIn(SensorTableA[i], 1).size(), 13);
    }
    for (int i = 0; i < 12; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(PickIn(SensorTableB[i], 0).size(), 13);
        EXPECT_EQ(PickIn(SensorTableB[i], 1).size(), i == 3 ? 14 : 13);
    }
    // Cyrillic Ha, then a Latin K, in the Russian name of the last code; Cyrillic Ka in code 2.
    EXPECT_EQ(ToCp1251(PickIn(SensorTableA[9], 0)), std::string("\xD5K-\xD2. \xEF\xE0\xF0\xE0+Pt"));
    EXPECT_EQ(ToCp1251(PickIn(SensorTableB[11], 0)), std::string("\xD5K-\xD2. \xEF\xE0\xF0\xE0+Pt"));
    EXPECT_EQ(ToCp1251(PickIn(SensorTableA[2], 0)),
              std::string("\xD5\xCA-\xD2\xE5\xF0\xEC\xEE\xEF\xE0\xF0\xE0 "));
    EXPECT_EQ(ToCp1251(PickIn(SensorTableB[3], 0)),
              std::string("\xD2\xCF\xD0-\xD2\xE5\xF0\xEC\xEE\xEF\xE0\xF0\xE0"));
    EXPECT_EQ(ToCp1251(PickIn(SensorTableA[5], 0)), std::string("MK SHT       "));
    EXPECT_EQ(PickIn(SensorTableB[7], 1), QStringLiteral("MK BMP280 SHT"));
    EXPECT_EQ(PickIn(SensorTableA[1], 1), QStringLiteral("XA-Thermopair"));
}

TEST(SensorTables, CodesCompareAsSignedBytes) {
    struct Case {
        SensorTable table;
        std::uint8_t code;
        int index;
    } cases[] = {
        {SensorTable::A, 0, 0},    {SensorTable::A, 9, 9},    {SensorTable::A, 10, -1},
        {SensorTable::A, 127, -1}, {SensorTable::A, 128, -1}, {SensorTable::A, 255, -1},
        {SensorTable::B, 11, 11},  {SensorTable::B, 12, -1},  {SensorTable::B, 0x80, -1},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(int(c.code));
        EXPECT_EQ(SensorIndex(c.table, c.code), c.index);
        EXPECT_EQ(SensorName(c.table, c.code, 1).has_value(), c.index >= 0);
    }
    EXPECT_EQ(SensorName(SensorTable::B, 3, 1), QStringLiteral("TPR-Thermopair"));
    EXPECT_EQ(SensorName(SensorTable::A, 3, 0), QStringLiteral("DS18B20      "));
}
