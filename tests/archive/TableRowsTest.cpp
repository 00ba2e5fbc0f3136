// The row reader: which rows it hands over, their moments, sensors and values, and stopping early.
#include "archive/TableRows.h"

#include <QLocale>

#include <gtest/gtest.h>

#include <vector>

namespace velda {
namespace {

TEST(TableRowReader, SkipRulesMomentsSensorsAndValues) {
    struct Row {
        const char *time;
        const char *date;
        const char *sensor1;
        const char *temperature1;
        const char *sensor2;
    };
    const Row rows[] = {
        {"10:00:00", "01.02.2024", "DS18B20      ", "21,50", ""}, // 1: read
        {"10:01:00", "01.02.2024", "", "22,00", ""},              // 2: no sensor
        {"10:02:00", "01.02.2024", "NAN", "22,00", ""},           // 3: no sensor
        {"10:03:00", "01.02.2024", "ab", "22,00", ""},            // 4: too short for a name
        {"25:00:00", "01.02.2024", "DS18B20      ", "x", ""},     // 5: no time
        {"10:05:00", "31.02.2024", "DS18B20      ", "", ""},      // 6: no date
        {"10:06:00", "02.02.2024", "", "", "MK SHT       "},      // 7: channel slot 1 only
    };
    ArchiveTable table;
    table.setColCount(column::kTwoSlotCount);
    table.setRowCount(static_cast<int>(std::size(rows)) + 1);
    int r = 1;
    for (const Row &row : rows) {
        table.setCell(column::kTime, r, QString::fromUtf8(row.time));
        table.setCell(column::kDate, r, QString::fromUtf8(row.date));
        table.setCell(column::InSlot(0, column::kSensorInSlot), r, QString::fromUtf8(row.sensor1));
        table.setCell(column::InSlot(0, column::kTemperatureInSlot), r, QString::fromUtf8(row.temperature1));
        table.setCell(column::InSlot(1, column::kSensorInSlot), r, QString::fromUtf8(row.sensor2));
        ++r;
    }
    const SystemFormats ru = SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));

    struct Case {
        const char *name;
        std::array<bool, column::kSlotCount> slots;
        std::vector<int> visited;
    };
    const Case cases[] = {
        {"first slot", {true, false}, {1, 5, 6}},
        {"both slots", {true, true}, {1, 5, 6, 7}},
        {"second slot", {false, true}, {7}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        TableRowReader reader(table, ru, 2);
        std::vector<int> visited;
        reader.forEach(c.slots, [&](const TableRow &row) {
            visited.push_back(row.index());
            return true;
        });
        EXPECT_EQ(visited, c.visited);
    }

    TableRowReader reader(table, ru, 2);
    std::vector<std::array<bool, 3>> moments; // time, date, value
    reader.forEach({true, true}, [&](const TableRow &row) {
        moments.push_back({row.timeOk(), row.dateOk(), row.value(0, column::kTemperatureInSlot).ok});
        if (row.index() == 1) {
            EXPECT_EQ(row.sensorName(0), "DS18B20");
            EXPECT_EQ(row.sensorCode(0), 4); // DS18B20 of the format-2 table
            EXPECT_EQ(row.date(), QDate(2024, 2, 1));
            EXPECT_EQ(row.time(), QTime(10, 0));
            EXPECT_DOUBLE_EQ(row.value(0, column::kTemperatureInSlot).value, 21.5);
        }
        return row.index() < 6; // stops after row 6
    });
    const std::vector<std::array<bool, 3>> expected{
        {true, true, true}, {false, true, false}, {true, false, false}};
    EXPECT_EQ(moments, expected);
    EXPECT_EQ(reader.firstSensorRow(1), std::optional<int>(7));
    EXPECT_EQ(TableRowReader(table, ru).firstSensorRow(0), std::optional<int>(1));
    EXPECT_EQ(kDayZero, QDate(1899, 12, 30));
}

} // namespace
} // namespace velda
