// The row reader of the archive table and the readers of its value and time cells.
#include "archive/TableRows.h"

#include "base/Cp1251.h"
#include "base/DecimalText.h"

#include <charconv>
#include <string>

namespace velda {
namespace {

constexpr std::size_t kMinSensorTextLength = 3;

// A value cell as a double, correctly rounded from its decimal digits.
template <typename Char>
ParsedValue ParseNumber(const Char *text, std::size_t size, char16_t decimalSeparator) {
    ParsedValue out;
    DecimalText number;
    switch (ScanDecimal(text, size, decimalSeparator, number)) {
    case DecimalScan::Empty:
        out.empty = true;
        return out;
    case DecimalScan::Invalid:
        return out;
    case DecimalScan::Number:
        break;
    }
    std::string ascii = number.negative ? "-" : "";
    ascii += number.digits.empty() ? std::string("0") : number.digits;
    ascii += 'e';
    ascii += std::to_string(number.exponent);
    double v = 0;
    const auto res = std::from_chars(ascii.data(), ascii.data() + ascii.size(), v);
    if (res.ec != std::errc() || res.ptr != ascii.data() + ascii.size()) return out;
    out.ok = true;
    out.value = v;
    return out;
}

std::string_view Trimmed(std::string_view bytes) {
    while (!bytes.empty() && static_cast<unsigned char>(bytes.front()) <= ' ')
        bytes.remove_prefix(1);
    while (!bytes.empty() && static_cast<unsigned char>(bytes.back()) <= ' ')
        bytes.remove_suffix(1);
    return bytes;
}

// The sensor cell of a row as the skip rules see it: empty when it names no sensor.
std::string_view SensorOf(std::string_view cell) {
    if (cell.size() < kMinSensorTextLength || Trimmed(cell) == "NAN") return {};
    return cell;
}

} // namespace

ParsedValue ParseValueCell(QStringView text, QChar decimalSeparator) {
    return ParseNumber(text.data(), static_cast<std::size_t>(text.size()), decimalSeparator.unicode());
}

ParsedValue ParseValueCellBytes(std::string_view bytes, QChar decimalSeparator) {
    if (decimalSeparator.unicode() < 0x80)
        return ParseNumber(bytes.data(), bytes.size(), decimalSeparator.unicode());
    return ParseValueCell(FromCp1251(bytes), decimalSeparator);
}

// Times are written "hh:mm:ss" with the system's separator; reading that shape directly from the cell's
// bytes keeps a pass over a large archive fast. Anything else takes the general parser.
std::optional<QTime> ParseTimeCellBytes(std::string_view text, const SystemFormats &formats) {
    const QString &sep = formats.timeSeparator;
    if (sep.size() == 1 && sep[0].unicode() < 0x80 && text.size() == 8 && text[2] == sep[0].toLatin1() &&
        text[5] == sep[0].toLatin1()) {
        auto two = [&](std::size_t at) -> int {
            const char a = text[at];
            const char b = text[at + 1];
            if (a < '0' || a > '9' || b < '0' || b > '9') return -1;
            return (a - '0') * 10 + (b - '0');
        };
        const int h = two(0);
        const int m = two(3);
        const int s = two(6);
        if (h >= 0 && h < 24 && m >= 0 && m < 60 && s >= 0 && s < 60) return QTime(h, m, s);
    }
    return ParseTimeCell(FromCp1251(text), formats);
}

std::string_view TableRow::sensorName(int slot) const {
    return Trimmed(sensorCell(slot));
}

SensorCode TableRow::sensorCode(int slot) const {
    return m_reader->codeOf(slot, sensorCell(slot));
}

std::string_view TableRow::cell(int column) const {
    return m_reader->m_table.cellBytes(column, m_row);
}

ParsedValue TableRow::value(int slot, int place) const {
    return ParseValueCellBytes(cell(slot, place), m_reader->m_formats.decimalSeparator);
}

TableRowReader::TableRowReader(const ArchiveTable &table, const SystemFormats &formats, int archiveFormat)
    : m_table(table), m_formats(formats), m_archiveFormat(archiveFormat) {}

bool TableRowReader::read(std::array<bool, column::kSlotCount> slots, int r, TableRow &row) {
    bool any = false;
    for (int slot = 0; slot < column::kSlotCount; ++slot) {
        const auto i = static_cast<std::size_t>(slot);
        // Cells beyond the shown columns count too: a table keeps them until its layout is applied.
        const int sensorColumn = column::InSlot(slot, column::kSensorInSlot);
        row.m_sensors[i] = slots[i] ? SensorOf(m_table.cellBytes(sensorColumn, r)) : std::string_view();
        any = any || !row.m_sensors[i].empty();
    }
    if (!any) return false;
    row.m_row = r;
    row.m_time = ParseTimeCellBytes(m_table.cellBytes(column::kTime, r), m_formats).value_or(QTime());
    row.m_date = dateOf(m_table.cellBytes(column::kDate, r));
    return true;
}

QDate TableRowReader::dateOf(std::string_view bytes) {
    if (m_haveDate && bytes == m_lastDateText) return m_lastDate;
    auto known = m_dates.find(std::string(bytes));
    if (known == m_dates.end()) {
        const std::optional<QDate> parsed = ParseDateCell(FromCp1251(bytes), m_formats);
        known = m_dates.emplace(std::string(bytes), parsed.value_or(QDate())).first;
    }
    m_lastDateText.assign(bytes);
    m_lastDate = known->second;
    m_haveDate = true;
    return m_lastDate;
}

SensorCode TableRowReader::codeOf(int slot, std::string_view sensor) {
    LastSensor &last = m_lastSensor[TableRow::Slot(slot)];
    if (!last.known || sensor != last.bytes) {
        last.bytes.assign(sensor);
        last.code = ClassifySensor(FromCp1251(sensor), m_archiveFormat);
        last.known = true;
    }
    return last.code;
}

std::optional<int> TableRowReader::firstSensorRow(int slot) {
    std::array<bool, column::kSlotCount> slots{};
    slots[TableRow::Slot(slot)] = true;
    std::optional<int> found;
    forEach(slots, [&](const TableRow &row) {
        found = row.index();
        return false;
    });
    return found;
}

} // namespace velda
