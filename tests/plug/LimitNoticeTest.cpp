// The notice of readings outside the limits: hand-made tables and limits against the lines a user reads,
// in both languages.
#include "plug/LimitNotice.h"

#include "graph/GraphTestTables.h"

#include <gtest/gtest.h>

namespace velda {
namespace {

// Channel 1: one thermometer reading 20, NAN, 22, (three hours) 18, 20, then a second one reading 24, 17,
// 20 ten minutes apart. Each reading holds until the sensor's next one.
ArchiveTable OneChannel() {
    ArchiveTable t = test::MakeTable({{"10:00:00", "01.02.2024", "DS18B20      ", "20,00"},
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

Limits Of(Quantity q, Limit l, Quantity q2 = Quantity::Pressure, Limit l2 = {}) {
    Limits limits;
    limits.set(q, l);
    limits.set(q2, l2);
    return limits;
}

TEST(LimitNoticeTest, LinesNameInstrumentQuantityCountAndDuration) {
    const struct {
        const char *name;
        ArchiveTable table;
        Limits limits;
        const char *ru; ///< the expected line; nullptr when no notice is due
        const char *en;
    } cases[] = {
        {"no limit in force", OneChannel(), Limits{}, nullptr, nullptr},
        {"every reading inside", TwoChannels(), Of(Quantity::Temperature, {-10, 50}), nullptr, nullptr},
        {"both sides on one channel; two sensors add up", OneChannel(), Of(Quantity::Temperature, {19, 21.5}),
         "Холодильник: показания вне пределов: канал 1, Температура, °C: ниже предела 2 за 0:15:00, выше "
         "предела 2 за 3:10:00",
         "Холодильник: readings outside the limits: channel 1, Temperature, °C: 2 below the limit for "
         "0:15:00, 2 above the limit for 3:10:00"},
        {"two channels, two quantities, one side of a limit", TwoChannels(),
         Of(Quantity::Temperature, {0, 40}, Quantity::Humidity, {std::nullopt, 60}),
         "Холодильник: показания вне пределов: канал 1, Влажность, %: выше предела 2 за 0:01:00; канал 2, "
         "Температура, °C: ниже предела 1 за 0:01:00, выше предела 1 за 0:00:00",
         "Холодильник: readings outside the limits: channel 1, Humidity, %: 2 above the limit for 0:01:00; "
         "channel 2, Temperature, °C: 1 below the limit for 0:01:00, 1 above the limit for 0:00:00"},
    };
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const auto inRussian = NoticeOfLimits(c.table, c.limits, QStringLiteral("Холодильник"), 0, ru);
        const auto inEnglish = NoticeOfLimits(c.table, c.limits, QStringLiteral("Холодильник"), 1, ru);
        ASSERT_EQ(inRussian.has_value(), c.ru != nullptr);
        ASSERT_EQ(inEnglish.has_value(), c.en != nullptr);
        if (!c.ru) continue;
        EXPECT_EQ(inRussian->line, QString::fromUtf8(c.ru));
        EXPECT_EQ(inEnglish->line, QString::fromUtf8(c.en));
        // The notification: the title, then one crossing per line.
        EXPECT_EQ(inEnglish->title + QStringLiteral(": ") +
                      QString(inEnglish->body).replace(QLatin1Char('\n'), "; "),
                  inEnglish->line);
    }
}

} // namespace
} // namespace velda
