// Windows-1251 round trip over every assigned byte, and the marking of characters it lacks.
#include "base/Cp1251.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace velda;

TEST(Cp1251, EveryAssignedByteRoundTrips) {
    std::string all;
    for (int b = 1; b < 256; ++b)
        if (b != 0x98) all.push_back(static_cast<char>(b));
    bool lossy = true;
    EXPECT_EQ(ToCp1251(FromCp1251(all), &lossy), all);
    EXPECT_FALSE(lossy);
}

TEST(Cp1251, KnownLettersAndSigns) {
    struct Case {
        const char *name;
        QString text;
        std::string bytes;
    } cases[] = {
        {"cyrillic", QStringLiteral("Ёё Аяж"), "\xA8\xB8 \xC0\xFF\xE6"},
        {"degree and number sign", QStringLiteral("°№"), "\xB0\xB9"},
        {"latin", QStringLiteral("T, C"), "T, C"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(ToCp1251(c.text), c.bytes);
        EXPECT_EQ(FromCp1251(c.bytes), c.text);
    }
}

TEST(Cp1251, CharacterOutsideTheCodePageIsMarked) {
    bool lossy = false;
    EXPECT_EQ(ToCp1251(QStringLiteral("a€中"), &lossy), std::string("a\x88?"));
    EXPECT_TRUE(lossy);
}
