// Merging archive tables: header check, duplicate rows dropped by their cells, stable order by date and
// time, renumbering; and the same for project files on disk.
#include "archive/MergeProjects.h"

#include "archive/ChannelLayout.h"
#include "base/Cp1251.h"
#include "base/DecimalText.h"
#include "base/TableColumns.h"

#include <QFileInfo>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>

namespace velda {
namespace {

constexpr int kFirstFixedHeader = 1;
constexpr int kLastFixedHeader = 8;
constexpr qint64 kMsPerDay = 86400000;

struct RowRef {
    int input;
    int row;
    qint64 stamp; ///< milliseconds from the date's Julian day on; max for a row without date or time
};

std::string_view CellOf(const MergeInput &input, int col, int row) {
    // Cells beyond an input's shown columns are not part of what it stores.
    return col < input.table->colCount() ? input.table->cellBytes(col, row) : std::string_view{};
}

// True for a download of channel 2 alone: its one shown slot (columns 6 to 9) holds channel 2.
bool HoldsChannel2Alone(const MergeInput &input) {
    return input.table->colCount() < column::kTwoSlotCount && !input.flags.channel1 && input.flags.channel2;
}

// Where an input's cells land in the result: a channel-2-only download moves its slot into the second
// slot when the result also holds channel 1, so that every row keeps its channel's columns.
class ColumnMap {
public:
    ColumnMap(const MergeInput &input, bool shiftChannel2) : m_input(input), m_shift(shiftChannel2) {}

    /// The input's cell for the result's column `col`.
    [[nodiscard]] std::string_view cell(int col, int row) const {
        if (m_shift && col >= column::kSlot0Sensor) {
            if (col < column::kSlot1Sensor) return {};
            return CellOf(m_input, col - column::kSlotWidth, row);
        }
        return CellOf(m_input, col, row);
    }
    /// True when the input supplies the result's column `col` (its header included).
    [[nodiscard]] bool supplies(int col) const {
        if (m_shift && col >= column::kSlot0Sensor) {
            if (col < column::kSlot1Sensor) return false;
            col -= column::kSlotWidth;
        }
        return col < m_input.table->colCount() && m_input.table->rowCount() > 0;
    }

private:
    const MergeInput &m_input;
    bool m_shift;
};

// Reads time and date cells; dates repeat across many rows, so they are parsed once per distinct text.
class StampReader {
public:
    explicit StampReader(const SystemFormats &formats)
        : m_formats(formats), m_decimalSeparator(formats.decimalSeparator.unicode()) {
        const QString &separator = formats.timeSeparator;
        if (separator.size() == 1 && separator.front().unicode() < 0x80 &&
            formats.timeFormat == QStringLiteral("hh%1mm%1ss").arg(separator))
            m_plainSeparator = static_cast<char>(separator.front().unicode());
    }

    std::optional<qint64> stamp(std::string_view time, std::string_view date) {
        const auto ms = timeMs(time);
        if (!ms) return std::nullopt;
        const auto day = julianDay(date);
        if (!day) return std::nullopt;
        return *day * kMsPerDay + *ms;
    }

    /// The first of a row's time and date cells that holds a text the formats do not read ("NAN" and
    /// an empty cell hold none), or nullopt.
    std::optional<int> unreadableColumn(std::string_view time, std::string_view date) {
        if (!HoldsNothing(time) && !timeMs(time)) return column::kTime;
        if (!HoldsNothing(date) && !julianDay(date)) return column::kDate;
        return std::nullopt;
    }

    /// The first value cell (temperature, humidity, third quantity of either slot) that is no number with
    /// the formats' decimal separator, "NAN" or empty; nullopt when every one reads.
    [[nodiscard]] std::optional<int> unreadableValueColumn(const MergeInput &input, int row) const {
        for (int slot = 0; slot < column::kSlotCount; ++slot) {
            for (int place = column::kTemperatureInSlot; place <= column::kThirdInSlot; ++place) {
                const int col = column::InSlot(slot, place);
                const std::string_view cell = CellOf(input, col, row);
                if (HoldsNothing(cell)) continue;
                DecimalText scanned;
                if (ScanDecimal(cell.data(), cell.size(), m_decimalSeparator, scanned) ==
                    DecimalScan::Invalid)
                    return col;
            }
        }
        return std::nullopt;
    }

    static bool HoldsNothing(std::string_view cell) { return cell.empty() || cell == "NAN"; }

private:
    std::optional<qint64> julianDay(std::string_view date) {
        auto found = m_dates.find(std::string(date));
        if (found == m_dates.end()) {
            const auto parsed = ParseDateCell(FromCp1251(date), m_formats);
            found = m_dates
                        .emplace(std::string(date),
                                 parsed ? std::optional<qint64>(parsed->toJulianDay()) : std::nullopt)
                        .first;
        }
        return found->second;
    }

    // "hh:mm:ss" with the formats' one-character separator is read directly: the general parser costs
    // microseconds per cell, which a merge of hundreds of thousands of rows notices.
    std::optional<int> timeMs(std::string_view text) const {
        if (m_plainSeparator && text.size() == 8) {
            const char sep = *m_plainSeparator;
            const auto digit = [&](std::size_t i) { return text[i] >= '0' && text[i] <= '9'; };
            if (text[2] == sep && text[5] == sep && digit(0) && digit(1) && digit(3) && digit(4) &&
                digit(6) && digit(7)) {
                const auto two = [&](std::size_t i) { return (text[i] - '0') * 10 + (text[i + 1] - '0'); };
                const int h = two(0), m = two(3), s = two(6);
                if (h < 24 && m < 60 && s < 60) return ((h * 60 + m) * 60 + s) * 1000;
            }
            return std::nullopt;
        }
        const auto parsed = ParseTimeCell(FromCp1251(text), m_formats);
        if (!parsed) return std::nullopt;
        return parsed->msecsSinceStartOfDay();
    }

    const SystemFormats &m_formats;
    char16_t m_decimalSeparator;
    std::optional<char> m_plainSeparator;
    std::unordered_map<std::string, std::optional<qint64>> m_dates;
};

// The cells that decide whether two rows are the same: every column but the row number, each with its
// length so that no two different rows give the same key.
void RowKey(std::string &key, const ColumnMap &input, int row, int cols) {
    key.clear();
    for (int col = 1; col < cols; ++col) {
        const std::string_view cell = input.cell(col, row);
        const auto size = static_cast<std::uint32_t>(cell.size());
        key.append(reinterpret_cast<const char *>(&size), sizeof size);
        key.append(cell);
    }
}

} // namespace

MergeResult MergeTables(const std::vector<MergeInput> &inputs, const SystemFormats &formats,
                        ArchiveTable *out) {
    if (inputs.empty()) return MergeError{MergeError::Kind::NoInput, {}, Pick(TxtMergeNoInput)};
    const MergeInput &first = inputs.front();
    for (const MergeInput &input : inputs) {
        for (int col = kFirstFixedHeader; col <= kLastFixedHeader; ++col) {
            const bool firstHas = first.table->rowCount() > 0;
            const bool inputHas = input.table->rowCount() > 0;
            const std::string_view want = firstHas ? CellOf(first, col, 0) : std::string_view{};
            const std::string_view have = inputHas ? CellOf(input, col, 0) : std::string_view{};
            if (want != have || firstHas != inputHas)
                return MergeError{MergeError::Kind::HeaderMismatch, input.name,
                                  Pick(TxtMergeHeaderMismatch).arg(input.name, first.name)};
        }
    }

    MergeSummary summary;
    int cols = 0;
    bool channel1Somewhere = false;
    for (const MergeInput &input : inputs) {
        cols = std::max(cols, input.table->colCount());
        summary.flags.channel1 = summary.flags.channel1 || input.flags.channel1;
        summary.flags.channel2 = summary.flags.channel2 || input.flags.channel2;
        channel1Somewhere = channel1Somewhere || !HoldsChannel2Alone(input);
    }
    // Channel 2 alone beside an input that holds channel 1 in its first slot: channel 2 moves to the
    // second slot, which the result then shows.
    std::vector<ColumnMap> maps;
    maps.reserve(inputs.size());
    for (const MergeInput &input : inputs) {
        const bool shift = channel1Somewhere && HoldsChannel2Alone(input);
        if (shift) cols = std::max(cols, static_cast<int>(column::kTwoSlotCount));
        maps.emplace_back(input, shift);
    }

    StampReader stamps(formats);
    std::vector<RowRef> rows;
    std::unordered_set<std::string> seen;
    std::string key;
    for (int i = 0; i < static_cast<int>(inputs.size()); ++i) {
        const MergeInput &input = inputs[static_cast<std::size_t>(i)];
        for (int row = 1; row < input.table->rowCount(); ++row) {
            ++summary.inputRows;
            const std::string_view time = CellOf(input, column::kTime, row);
            const std::string_view date = CellOf(input, column::kDate, row);
            const auto stamp = stamps.stamp(time, date);
            // A cell written with other formats would be sorted, deduplicated and counted wrongly, and
            // would mix two formats in one file: the input is refused, as one in another language is.
            std::optional<int> unreadable = stamp ? std::nullopt : stamps.unreadableColumn(time, date);
            if (!unreadable) unreadable = stamps.unreadableValueColumn(input, row);
            if (unreadable)
                return MergeError{MergeError::Kind::UnreadableCell, input.name,
                                  Pick(TxtMergeUnreadableCell)
                                      .arg(input.name)
                                      .arg(row)
                                      .arg(FromCp1251(CellOf(input, *unreadable, row)),
                                           formats.shortDateFormat, formats.timeFormat,
                                           QString(formats.decimalSeparator))};
            // Rows without a date or time are told apart only by their place in the archive (records
            // with an invalid clock all show "NAN"), so none of them is taken for a repeat.
            if (stamp) {
                RowKey(key, maps[static_cast<std::size_t>(i)], row, cols);
                if (!seen.insert(key).second) {
                    ++summary.duplicates;
                    continue;
                }
            } else {
                ++summary.undated;
            }
            rows.push_back(RowRef{i, row, stamp.value_or(std::numeric_limits<qint64>::max())});
        }
    }
    std::stable_sort(rows.begin(), rows.end(),
                     [](const RowRef &a, const RowRef &b) { return a.stamp < b.stamp; });

    ArchiveTable merged;
    const int rowCount = static_cast<int>(rows.size()) + 1;
    merged.setColCount(cols);
    merged.setRowCount(rowCount);
    merged.reserve(cols, rowCount);
    for (int col = 0; col < cols; ++col) {
        for (const ColumnMap &map : maps) {
            if (map.supplies(col)) {
                merged.setCellBytes(col, 0, map.cell(col, 0));
                break;
            }
        }
    }
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const RowRef &ref = rows[static_cast<std::size_t>(r)];
        const ColumnMap &map = maps[static_cast<std::size_t>(ref.input)];
        if (cols > 0) merged.setCellBytes(0, r + 1, std::to_string(r + 1));
        for (int col = 1; col < cols; ++col)
            merged.setCellBytes(col, r + 1, map.cell(col, ref.row));
    }
    summary.rows = rowCount - 1;
    summary.colCount = cols;
    merged.setChannels(summary.flags);
    merged.setArchiveFormat(first.table->archiveFormat());
    out->swap(merged);
    return summary;
}

MergeResult MergeProjectFiles(const QStringList &inputs, const QString &output,
                              const SystemFormats &formats) {
    std::vector<ArchiveTable> tables(static_cast<std::size_t>(inputs.size()));
    std::vector<MergeInput> merge;
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        ArchiveTable &table = tables[static_cast<std::size_t>(i)];
        const QString name = QFileInfo(inputs.at(i)).fileName();
        const auto loaded = ReadProject(table, inputs.at(i));
        if (!loaded.ok())
            return MergeError{MergeError::Kind::LoadFailed, inputs.at(i),
                              Pick(TxtMergeLoadFailed).arg(name, loaded.error().message)};
        merge.push_back(MergeInput{name, &table, loaded.value().flags});
    }
    ArchiveTable merged;
    MergeResult result = MergeTables(merge, formats, &merged);
    if (!result.ok()) return result;
    tables.clear();
    const auto saved = SaveProject(merged, output, result.summary().flags);
    if (!saved.ok()) return MergeError{MergeError::Kind::WriteFailed, output, saved.error().message};
    return result;
}

MergeResult AppendProject(ArchiveTable *table, ChannelFlags flags, const QString &path,
                          const SystemFormats &formats) {
    ArchiveTable file;
    const QString name = QFileInfo(path).fileName();
    const auto loaded = ReadProject(file, path);
    if (!loaded.ok())
        return MergeError{MergeError::Kind::LoadFailed, path,
                          Pick(TxtMergeLoadFailed).arg(name, loaded.error().message)};
    std::vector<MergeInput> inputs;
    if (!TableIsEmpty(*table)) inputs.push_back(MergeInput{Pick(TxtMergeTableName), table, flags});
    inputs.push_back(MergeInput{name, &file, loaded.value().flags});
    ArchiveTable merged;
    MergeResult result = MergeTables(inputs, formats, &merged);
    if (!result.ok()) return result;
    table->swap(merged);
    PublishChannels(*table);
    return result;
}

} // namespace velda
