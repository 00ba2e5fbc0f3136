// The one reading of the archive table's data rows: which channel slots name a sensor, the moment of a
// row and its value cells, read back with the formats in force. The table holds text; every reader of
// its meaning (graph, statistics, limits, history) goes through here.
#pragma once

#include "archive/SensorCatalogue.h"
#include "base/ArchiveTable.h"
#include "base/SystemFormats.h"
#include "base/TableColumns.h"

#include <QDate>
#include <QTime>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velda {

/// Day 0 of the table's moments and of the graph's time axis: 30 December 1899.
inline constexpr QDate kDayZero = QDate::fromJulianDay(2415019);

/// A value cell read back with `decimalSeparator`: blanks and control characters around it are ignored;
/// `empty` when the rest is empty; neither `empty` nor `ok` when it is no number.
struct ParsedValue {
    bool empty = false;
    bool ok = false;
    double value = 0;
};
[[nodiscard]] ParsedValue ParseValueCell(QStringView text, QChar decimalSeparator);
/// The same for a cell's Windows-1251 bytes, without decoding them when the separator is ASCII.
[[nodiscard]] ParsedValue ParseValueCellBytes(std::string_view bytes, QChar decimalSeparator);
/// A time cell's Windows-1251 bytes read back with `formats`; nullopt when they are no valid time.
[[nodiscard]] std::optional<QTime> ParseTimeCellBytes(std::string_view bytes, const SystemFormats &formats);

class TableRowReader;

/// One data row as the reader hands it over. Valid only during the visit; cell views point into the
/// table. `slot` is a channel slot, 0 (columns 6 to 9) or 1 (columns 10 to 13); `place` one of
/// column::kSensorInSlot ... column::kThirdInSlot.
class TableRow {
public:
    /// The table row (1 and below).
    [[nodiscard]] int index() const { return m_row; }
    /// The sensor cell of `slot` as stored, padding blanks included; empty when the row names no sensor
    /// there (a cell shorter than 3 characters, or "NAN").
    [[nodiscard]] std::string_view sensorCell(int slot) const { return m_sensors[Slot(slot)]; }
    /// The sensor cell without the blanks and control characters around it; empty as sensorCell.
    [[nodiscard]] std::string_view sensorName(int slot) const;
    /// The code of the slot's sensor name under the reader's archive format (0 for an unknown name).
    [[nodiscard]] SensorCode sensorCode(int slot) const;

    /// Whether the time cell, and the date cell, read back with the formats.
    [[nodiscard]] bool timeOk() const { return m_time.isValid(); }
    [[nodiscard]] bool dateOk() const { return m_date.isValid(); }
    [[nodiscard]] bool hasMoment() const { return timeOk() && dateOk(); }
    /// The row's wall-clock moment; meaningful only when hasMoment().
    [[nodiscard]] QDate date() const { return m_date; }
    [[nodiscard]] QTime time() const { return m_time; }

    /// The bytes of a cell of the row: a column of its own, or a place in a slot.
    [[nodiscard]] std::string_view cell(int column) const;
    [[nodiscard]] std::string_view cell(int slot, int place) const {
        return cell(column::InSlot(slot, place));
    }
    /// A value cell of a slot read back with the formats' decimal separator.
    [[nodiscard]] ParsedValue value(int slot, int place) const;

private:
    friend class TableRowReader;
    static std::size_t Slot(int slot) { return slot == 0 ? 0 : 1; }

    TableRowReader *m_reader = nullptr;
    int m_row = 0;
    std::array<std::string_view, column::kSlotCount> m_sensors{};
    QDate m_date;
    QTime m_time;
};

/// Reads the data rows of `table` in table order. Keeps what a pass over a long table needs: the dates
/// already read (records come in date order, so one text recurs for many rows) and the code of the last
/// sensor name of each slot. One object per pass; the table must not change during it. Any thread that
/// owns the table.
///
/// Typical use:
///   TableRowReader reader(table, CurrentFormats());
///   reader.forEach({true, true}, [&](const TableRow &row) {
///       if (!row.hasMoment()) return true;           // skip rows whose time or date does not read
///       const ParsedValue t = row.value(0, column::kTemperatureInSlot);
///       ...
///       return true;                                 // false stops the pass
///   });
class TableRowReader {
public:
    /// `archiveFormat` names the sensor table TableRow::sensorCode classifies with.
    TableRowReader(const ArchiveTable &table, const SystemFormats &formats, int archiveFormat = 0);

    /// Calls `visit(const TableRow &)` for each data row from `firstRow` on that names a sensor in one of
    /// the slots `slots` asks for, until it returns false. Rows naming no sensor there are skipped; rows
    /// whose time or date does not read are handed over with hasMoment() false.
    template <typename Visit>
    void forEach(std::array<bool, column::kSlotCount> slots, Visit &&visit, int firstRow = 1) {
        TableRow row;
        row.m_reader = this;
        for (int r = std::max(firstRow, 1); r < m_table.rowCount(); ++r) {
            if (!read(slots, r, row)) continue;
            if (!visit(static_cast<const TableRow &>(row))) return;
        }
    }

    /// The first data row that names a sensor in `slot`, or nullopt when none does.
    [[nodiscard]] std::optional<int> firstSensorRow(int slot);

    [[nodiscard]] const ArchiveTable &table() const { return m_table; }
    [[nodiscard]] const SystemFormats &formats() const { return m_formats; }

private:
    friend class TableRow;
    bool read(std::array<bool, column::kSlotCount> slots, int r, TableRow &row);
    QDate dateOf(std::string_view bytes);
    SensorCode codeOf(int slot, std::string_view sensor);

    const ArchiveTable &m_table;
    const SystemFormats &m_formats;
    int m_archiveFormat = 0;
    std::unordered_map<std::string, QDate> m_dates;
    std::string m_lastDateText;
    QDate m_lastDate;
    bool m_haveDate = false;
    struct LastSensor {
        std::string bytes;
        SensorCode code = 0;
        bool known = false;
    };
    std::array<LastSensor, column::kSlotCount> m_lastSensor{};
};

} // namespace velda
