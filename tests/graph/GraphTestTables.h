// Small hand-made archive tables for the graph tests, written in the Russian comma-decimal formats.
#pragma once

#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"

#include <QDate>
#include <QString>
#include <QTime>

#include <initializer_list>

namespace velda::test {

/// One data row: time, date, then a channel slot or two (sensor, T, H, Q).
struct Row {
    const char *time;
    const char *date;
    const char *sensor1;
    const char *t1;
    const char *h1 = "";
    const char *q1 = "";
    const char *sensor2 = nullptr;
    const char *t2 = "";
    const char *h2 = "";
    const char *q2 = "";
};

inline ArchiveTable MakeTable(std::initializer_list<Row> rows, int colCount) {
    ArchiveTable t;
    t.setColCount(colCount);
    t.setRowCount(static_cast<int>(rows.size()) + 1);
    int r = 1;
    for (const Row &row : rows) {
        auto put = [&](int col, const char *text) {
            if (text) t.setCell(col, r, QString::fromUtf8(text));
        };
        t.setCell(0, r, QString::number(r));
        put(1, row.time);
        put(2, row.date);
        put(3, "Непрерывный");
        put(6, row.sensor1);
        put(7, row.t1);
        put(8, row.h1);
        put(9, row.q1);
        if (row.sensor2) {
            put(10, row.sensor2);
            put(11, row.t2);
            put(12, row.h2);
            put(13, row.q2);
        }
        ++r;
    }
    return t;
}

/// Channel 1: a dew-point probe (T 10..30, H 50..90, dew point 0..5); channel 2: a thermometer
/// (T -5..45). Three rows one minute apart, in the Russian formats.
inline ArchiveTable DewPointAndThermometerTable() {
    return MakeTable(
        {
            {"10:00:00", "05.03.2018", "SHT          ", "10,00", "50,00", "0,00", "DS18B20      ", "-5,00"},
            {"10:01:00", "05.03.2018", "SHT          ", "20,00", "70,00", "2,00", "DS18B20      ", "20,00"},
            {"10:02:00", "05.03.2018", "SHT          ", "30,00", "90,00", "5,00", "DS18B20      ", "45,00"},
        },
        14);
}

/// Sets the process formats to Russian (comma, dd.MM.yyyy) for the life of the object.
class RussianFormats {
public:
    RussianFormats() : m_saved(CurrentFormats()) {
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
    }
    ~RussianFormats() { SetCurrentFormats(m_saved); }
    RussianFormats(const RussianFormats &) = delete;
    RussianFormats &operator=(const RussianFormats &) = delete;

private:
    SystemFormats m_saved;
};

inline double Days(int y, int m, int d, int hh, int mm, int ss) {
    return static_cast<double>(QDate(1899, 12, 30).daysTo(QDate(y, m, d))) +
           QTime(hh, mm, ss).msecsSinceStartOfDay() / 86400000.0;
}

} // namespace velda::test
