// The notice of readings outside the limits: hand-made tables and limits against the lines a user reads,
// in both languages.
#include "plug/LimitNotice.h"

#include "graph/GraphTestTables.h"

#include <gtest/gtest.h>

namespace velda {
namespace {

using test::MakeTable;

SystemFormats Ru() {
    return SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
}

Limits Of(std::initializer_list<std::pair<Quantity, Limit>> items) {
    Limits limits;
    for (const auto &[q, l] : items)
        limits.set(q, l);
    return limits;
}

// Channel 1: one thermometer reading 20, NAN, 22, (three hours) 18, 20, then a second one reading 24, 17,
// 20 ten minutes apart. Each reading holds until the sensor's next one.
ArchiveTable OneChannel() {
    ArchiveTable t = MakeTable({{"10:00:00", "01.02.2024", "DS18B20      ", "20,00"},
                                {"10:10:00", "01.02.2024", "DS18B20      ", "NAN"},
                                {"10:20:00", "01.02.2024", "DS18B20      ", "22,00"},
                                {"13:20:00", "01.02.2024", "DS18B20      ", "18,00"},
                                {"13:25:00", "01.02.2024", "DS18B20      ", "20,00"},
                                {"13:30:00", "01.02.2024", "PT100        ", "24,00"},
                                {"13:40:00", "01.02.2024", "PT100        ", "17,00"},
                                {"13:50:00", "01.02.2024", "PT100        ", "20,00"}},
                               10);
    t.setChannels({true, false});
    return t;
}

ArchiveTable TwoChannels() {
    ArchiveTable t = test::DewPointAndThermometerTable();
    t.setChannels({true, true});
    return t;
}

struct Case {
    const char *name;
    ArchiveTable table;
    Limits limits;
    const char *instrument;
    const char *ru; ///< the expected line; nullptr when no notice is due
    const char *en;
    const char *enBody;
};

TEST(LimitNoticeTest, LinesNameInstrumentQuantityCountAndDuration) {
    const Case cases[] = {
        {"no limit in force", OneChannel(), Limits{}, "VELDA-9", nullptr, nullptr, nullptr},
        {"every reading inside", TwoChannels(), Of({{Quantity::Temperature, Limit{-10, 50}}}), "VELDA-9",
         nullptr, nullptr, nullptr},
        {"both sides on one channel; two sensors add up", OneChannel(),
         Of({{Quantity::Temperature, Limit{19, 21.5}}}), "VELDA-9",
         "VELDA-9: показания вне пределов: канал 1, Температура, °C: ниже предела 2 за 0:15:00, выше "
         "предела 2 за 3:10:00",
         "VELDA-9: readings outside the limits: channel 1, Temperature, °C: 2 below the limit for 0:15:00, "
         "2 above the limit for 3:10:00",
         "channel 1, Temperature, °C: 2 below the limit for 0:15:00, 2 above the limit for 3:10:00"},
        {"one side only, upper limit", OneChannel(), Of({{Quantity::Temperature, Limit{std::nullopt, 23}}}),
         "Холодильник",
         "Холодильник: показания вне пределов: канал 1, Температура, °C: выше предела 1 за 0:10:00",
         "Холодильник: readings outside the limits: channel 1, Temperature, °C: 1 above the limit for "
         "0:10:00",
         "channel 1, Temperature, °C: 1 above the limit for 0:10:00"},
        {"two channels, two quantities, one line each", TwoChannels(),
         Of({{Quantity::Temperature, Limit{0, 40}}, {Quantity::Humidity, Limit{std::nullopt, 60}}}),
         "VELDA-9",
         "VELDA-9: показания вне пределов: канал 1, Влажность, %: выше предела 2 за 0:01:00; канал 2, "
         "Температура, °C: ниже предела 1 за 0:01:00, выше предела 1 за 0:00:00",
         "VELDA-9: readings outside the limits: channel 1, Humidity, %: 2 above the limit for 0:01:00; "
         "channel 2, Temperature, °C: 1 below the limit for 0:01:00, 1 above the limit for 0:00:00",
         "channel 1, Humidity, %: 2 above the limit for 0:01:00\n"
         "channel 2, Temperature, °C: 1 below the limit for 0:01:00, 1 above the limit for 0:00:00"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString instrument = QString::fromUtf8(c.instrument);
        const auto ru = NoticeOfLimits(c.table, c.limits, instrument, 0, Ru());
        const auto en = NoticeOfLimits(c.table, c.limits, instrument, 1, Ru());
        ASSERT_EQ(ru.has_value(), c.ru != nullptr);
        ASSERT_EQ(en.has_value(), c.en != nullptr);
        if (!c.ru) continue;
        EXPECT_EQ(ru->line, QString::fromUtf8(c.ru));
        EXPECT_EQ(en->line, QString::fromUtf8(c.en));
        EXPECT_EQ(en->title,
                  QString::fromUtf8(c.instrument) + QStringLiteral(": readings outside the limits"));
        EXPECT_EQ(en->body, QString::fromUtf8(c.enBody));
    }
}

} // namespace
} // namespace velda
