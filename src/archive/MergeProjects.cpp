// Merging archive tables: header check, duplicate rows dropped by their cells, stable order by date and
// time, renumbering; and the same for project files on disk.
#include "archive/MergeProjects.h"

#include "archive/ChannelLayout.h"
#include "base/Cp1251.h"
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

// Reads time and date cells; dates repeat across many rows, so they are parsed once per distinct text.
class StampReader {
public:
    explicit StampReader(const SystemFormats &formats) : m_formats(formats) {
        const QString &separator = formats.timeSeparator;
        if (separator.size() == 1 && separator.front().unicode() < 0x80 &&
            formats.timeFormat == QStringLiteral("hh%1mm%1ss").arg(separator))
            m_plainSeparator = static_cast<char>(separator.front().unicode());
    }

    std::optional<qint64> stamp(std::string_view time, std::string_view date) {
        const auto ms = timeMs(time);
        if (!ms) return std::nullopt;
        auto found = m_dates.find(std::string(date));
        if (found == m_dates.end()) {
            const auto parsed = ParseDateCell(FromCp1251(date), m_formats);
            found = m_dates
                        .emplace(std::string(date),
                                 parsed ? std::optional<qint64>(parsed->toJulianDay()) : std::nullopt)
                        .first;
        }
        if (!found->second) return std::nullopt;
        return *found->second * kMsPerDay + *ms;
    }

private:
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
    std::optional<char> m_plainSeparator;
    std::unordered_map<std::string, std::optional<qint64>> m_dates;
};

// The cells that decide whether two rows are the same: every column but the row number, each with its
// length so that no two different rows give the same key.
void RowKey(std::string &key, const MergeInput &input, int row, int cols) {
    key.clear();
    for (int col = 1; col < cols; ++col) {
        const std::string_view cell = CellOf(input, col, row);
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
    for (const MergeInput &input : inputs) {
        cols = std::max(cols, input.table->colCount());
        summary.flags.channel1 = summary.flags.channel1 || input.flags.channel1;
        summary.flags.channel2 = summary.flags.channel2 || input.flags.channel2;
    }

    StampReader stamps(formats);
    std::vector<RowRef> rows;
    std::unordered_set<std::string> seen;
    std::string key;
    for (int i = 0; i < static_cast<int>(inputs.size()); ++i) {
        const MergeInput &input = inputs[static_cast<std::size_t>(i)];
        for (int row = 1; row < input.table->rowCount(); ++row) {
            ++summary.inputRows;
            RowKey(key, input, row, cols);
            if (!seen.insert(key).second) {
                ++summary.duplicates;
                continue;
            }
            const auto stamp =
                stamps.stamp(CellOf(input, column::kTime, row), CellOf(input, column::kDate, row));
            if (!stamp) ++summary.undated;
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
        for (const MergeInput &input : inputs) {
            if (col < input.table->colCount() && input.table->rowCount() > 0) {
                merged.setCellBytes(col, 0, input.table->cellBytes(col, 0));
                break;
            }
        }
    }
    for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
        const RowRef &ref = rows[static_cast<std::size_t>(r)];
        const MergeInput &input = inputs[static_cast<std::size_t>(ref.input)];
        if (cols > 0) merged.setCellBytes(0, r + 1, std::to_string(r + 1));
        for (int col = 1; col < cols; ++col)
            merged.setCellBytes(col, r + 1, CellOf(input, col, ref.row));
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
