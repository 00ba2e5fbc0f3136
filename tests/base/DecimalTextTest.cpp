// The numeric-cell scanner that the sort and the graph share, over text and over Windows-1251 bytes.
#include "base/DecimalText.h"
#include "base/LittleEndian.h"

#include <QString>

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <string>

using namespace velda;

TEST(DecimalText, ScansTheNumbersOfValueCells) {
    struct Case {
        const char *name;
        const char *text;
        DecimalScan scan;
        bool negative;
        const char *digits;
        long long exponent;
    } cases[] = {
        {"two decimals", "21,37", DecimalScan::Number, false, "2137", -2},
        {"blanks and controls around", " \t-5,00\r\n", DecimalScan::Number, true, "500", -2},
        {"no-break space around",
         "\xA0"
         "7\xA0",
         DecimalScan::Number, false, "7", 0},
        {"leading zeros dropped", "-0,05", DecimalScan::Number, true, "5", -2},
        {"zero", "0,00", DecimalScan::Number, false, "", -2},
        {"separator first", ",5", DecimalScan::Number, false, "5", -1},
        {"separator last", "5,", DecimalScan::Number, false, "5", 0},
        {"exponent", "1,5E+3", DecimalScan::Number, false, "15", 2},
        {"negative exponent", "+25e-1", DecimalScan::Number, false, "25", -1},
        {"exponent held to its cap", "1e999999999999", DecimalScan::Number, false, "1", 100000},
        {"empty", "", DecimalScan::Empty, false, "", 0},
        {"blanks only", " \r\n", DecimalScan::Empty, false, "", 0},
        {"NAN", "NAN", DecimalScan::Invalid, false, "", 0},
        {"other separator", "21.37", DecimalScan::Invalid, false, "", 0},
        {"two separators", "1,2,3", DecimalScan::Invalid, false, "", 0},
        {"sign alone", "-", DecimalScan::Invalid, false, "", 0},
        {"exponent without digits", "1e", DecimalScan::Invalid, false, "", 0},
        {"blank inside", "1 000", DecimalScan::Invalid, false, "", 0},
        {"Cyrillic letter", "1\xE5", DecimalScan::Invalid, false, "", 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string bytes(c.text);
        const QString text = QString::fromLatin1(c.text);
        DecimalText fromBytes;
        DecimalText fromText;
        EXPECT_EQ(ScanDecimal(bytes.data(), bytes.size(), u',', fromBytes), c.scan);
        EXPECT_EQ(ScanDecimal(text.data(), static_cast<std::size_t>(text.size()), u',', fromText), c.scan);
        if (c.scan != DecimalScan::Number) continue;
        for (const DecimalText *d : {&fromBytes, &fromText}) {
            EXPECT_EQ(d->negative, c.negative);
            EXPECT_EQ(d->digits, c.digits);
            EXPECT_EQ(d->exponent, c.exponent);
        }
    }
}

TEST(LittleEndian, ReadsAndWritesLowByteFirst) {
    const std::array<std::uint8_t, 4> bytes{0x78, 0x56, 0x34, 0x12};
    EXPECT_EQ(le::U16(bytes.data()), 0x5678);
    EXPECT_EQ(le::U32(bytes.data()), 0x12345678u);
    const std::array<char, 4> minusTwo{'\xFE', '\xFF', '\xFF', '\xFF'};
    EXPECT_EQ(le::I32(minusTwo.data()), -2);
    const std::array<std::uint8_t, 4> one{0x00, 0x00, 0x80, 0x3F};
    EXPECT_EQ(le::F32(one.data()), 1.0f);
    std::array<char, 4> out{};
    le::PutU32(out.data(), 0xA1B2C3D4u);
    EXPECT_EQ(out, (std::array<char, 4>{'\xD4', '\xC3', '\xB2', '\xA1'}));
}
