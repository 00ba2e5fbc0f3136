// Merging archive tables: header check, duplicate rows dropped by their cells, stable order by date and
// time, renumbering; and the same for project files on disk, read a row at a time and written as they
// stream out, so that a merge holds each kept row once in a compact form rather than every input whole.
#include "archive/MergeProjects.h"

#include "archive/ChannelLayout.h"
#include "base/Cp1251.h"
#include "base/DecimalText.h"
#include "base/TableColumns.h"

#include <QFileInfo>

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace velda {
namespace {

constexpr int kFirstFixedHeader = 1;
constexpr int kLastFixedHeader = 8;
constexpr qint64 kMsPerDay = 86400000;

using Step = Result<Done, MergeError>;

// One input as a merge reads it: its header row, then its data rows in order.
class MergeSource {
public:
    MergeSource(QString name, ChannelFlags flags) : m_name(std::move(name)), m_flags(flags) {}
    virtual ~MergeSource() = default;
    MergeSource(const MergeSource &) = delete;
    MergeSource &operator=(const MergeSource &) = delete;

    [[nodiscard]] const QString &name() const { return m_name; }
    [[nodiscard]] ChannelFlags flags() const { return m_flags; }
    [[nodiscard]] virtual int colCount() const = 0;
    /// Rows, the header row included.
    [[nodiscard]] virtual int rowCount() const = 0;
    /// Row 0's cell of a column below colCount().
    [[nodiscard]] virtual std::string_view header(int col) const = 0;
    /// The cells of the next data row, colCount() of them, into `cells`: valid until the next call.
    [[nodiscard]] virtual Step nextRow(std::string_view *cells) = 0;
    /// The rows have all been read: what held them may go.
    virtual void finish() {}

private:
    QString m_name;
    ChannelFlags m_flags;
};

class TableSource final : public MergeSource {
public:
    explicit TableSource(const MergeInput &input)
        : MergeSource(input.name, input.flags), m_table(*input.table) {}
    [[nodiscard]] int colCount() const override { return m_table.colCount(); }
    [[nodiscard]] int rowCount() const override { return m_table.rowCount(); }
    [[nodiscard]] std::string_view header(int col) const override { return m_table.cellBytes(col, 0); }
    [[nodiscard]] Step nextRow(std::string_view *cells) override {
        ++m_row;
        for (int col = 0; col < m_table.colCount(); ++col)
            cells[col] = m_table.cellBytes(col, m_row);
        return Done{};
    }

private:
    const ArchiveTable &m_table;
    int m_row = 0;
};

// How messages name a project file that cannot be read: its name and the loader's reason.
MergeError LoadFailed(const QString &path, const ProjectError &error) {
    return MergeError{MergeError::Kind::LoadFailed, path,
                      Pick(TxtMergeLoadFailed).arg(QFileInfo(path).fileName(), error.message)};
}

class FileSource final : public MergeSource {
public:
    FileSource(const QString &path, const LoadedProject &project, std::unique_ptr<ProjectRowReader> reader)
        : MergeSource(QFileInfo(path).fileName(), project.flags), m_path(path), m_cols(project.colCount),
          m_rows(project.rowCount), m_reader(std::move(reader)) {}
    [[nodiscard]] int colCount() const override { return m_cols; }
    [[nodiscard]] int rowCount() const override { return m_rows; }
    [[nodiscard]] std::string_view header(int col) const override { return m_reader->header(col); }
    [[nodiscard]] Step nextRow(std::string_view *cells) override {
        const auto read = m_reader->nextRow(cells);
        if (!read) return LoadFailed(m_path, read.error());
        return Done{};
    }
    void finish() override { m_reader->close(); }

private:
    QString m_path;
    int m_cols;
    int m_rows;
    std::unique_ptr<ProjectRowReader> m_reader;
};

// A data row of a source: its cells, and empty cells beyond its columns.
struct SourceRow {
    const std::string_view *cells;
    int count;
    [[nodiscard]] std::string_view cell(int col) const {
        return col < count ? cells[col] : std::string_view{};
    }
};

// True for a download of channel 2 alone: its one shown slot (columns 6 to 9) holds channel 2.
bool HoldsChannel2Alone(const MergeSource &source) {
    return source.colCount() < column::kTwoSlotCount && !source.flags().channel1 && source.flags().channel2;
}

// Where a source's cells land in the result: a channel-2-only download moves its slot into the second
// slot when the result also holds channel 1, so that every row keeps its channel's columns.
class ColumnMap {
public:
    ColumnMap(const MergeSource &source, bool shiftChannel2) : m_source(&source), m_shift(shiftChannel2) {}

    /// The source's column that fills the result's column `col`; -1 for none.
    [[nodiscard]] int sourceColumn(int col) const {
        if (m_shift && col >= column::kSlot0Sensor) {
            if (col < column::kSlot1Sensor) return -1;
            return col - column::kSlotWidth;
        }
        return col;
    }
    /// The row's cell for the result's column `col`.
    [[nodiscard]] std::string_view cell(const SourceRow &row, int col) const {
        const int from = sourceColumn(col);
        return from < 0 ? std::string_view{} : row.cell(from);
    }
    /// The header for the result's column `col`, when the source supplies that column.
    [[nodiscard]] std::optional<std::string_view> header(int col) const {
        const int from = sourceColumn(col);
        if (from < 0 || from >= m_source->colCount() || m_source->rowCount() == 0) return std::nullopt;
        return m_source->header(from);
    }

private:
    const MergeSource *m_source;
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
    [[nodiscard]] std::optional<int> unreadableValueColumn(const SourceRow &row) const {
        for (int slot = 0; slot < column::kSlotCount; ++slot) {
            for (int place = column::kTemperatureInSlot; place <= column::kThirdInSlot; ++place) {
                const int col = column::InSlot(slot, place);
                const std::string_view cell = row.cell(col);
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

// The kept rows, each once, as compact byte strings in blocks that never move: per cell of columns 1
// on (in the result's layout) a length in 7-bit groups, then the bytes. A row lies whole in one block;
// its reference (block << 32 | offset) grows with the order rows were added.
class RowArena {
public:
    static constexpr std::size_t kBlock = 1 << 20;

    std::uint64_t add(std::string_view row) {
        if (m_blocks.empty() || m_blocks.back().capacity() - m_blocks.back().size() < row.size())
            m_blocks.emplace_back().reserve(std::max(kBlock, row.size()));
        PodBuffer<char> &block = m_blocks.back();
        const std::size_t at = block.size();
        block.resize(at + row.size());
        if (!row.empty()) std::memcpy(block.data() + at, row.data(), row.size());
        return (static_cast<std::uint64_t>(m_blocks.size() - 1) << 32) | at;
    }
    [[nodiscard]] const char *at(std::uint64_t ref) const {
        return m_blocks[static_cast<std::size_t>(ref >> 32)].data() + (ref & 0xFFFFFFFFU);
    }

private:
    std::vector<PodBuffer<char>> m_blocks;
};

void PutLength(std::string &out, std::size_t length) {
    while (length >= 0x80) {
        out.push_back(static_cast<char>(0x80 | (length & 0x7F)));
        length >>= 7;
    }
    out.push_back(static_cast<char>(length));
}

// The cell at `*at`, moving `*at` past it.
std::string_view TakeCell(const char *&at) {
    std::size_t length = 0;
    for (int shift = 0;; shift += 7) {
        const auto byte = static_cast<unsigned char>(*at++);
        length |= static_cast<std::size_t>(byte & 0x7F) << shift;
        if (byte < 0x80) break;
    }
    const std::string_view cell(at, length);
    at += length;
    return cell;
}

// A kept row: its time stamp for the order, its place in the arena (which also orders rows of one stamp
// as they were added).
struct Kept {
    qint64 stamp;
    std::uint64_t ref;
};

// The dated rows kept so far, by their cells: an open-addressing table of indices into the kept rows.
class RowSet {
public:
    /// True when a row with the cells `row` (hash `hash`, time stamp `stamp`) is among `kept`; otherwise
    /// notes `index` for it.
    bool containsElseAdd(std::string_view row, std::size_t hash, qint64 stamp, std::uint32_t index,
                         const std::vector<Kept> &kept, const RowArena &arena, int cells) {
        if ((m_count + 1) * 4 > m_slots.size() * 3) grow(kept, arena, cells);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = hash & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t held = m_slots[slot];
            if (held == 0) {
                m_slots[slot] = index + 1;
                ++m_count;
                return false;
            }
            // Equal cells have equal stamps: the stamp spares reading most rows that differ.
            const Kept &other = kept[held - 1];
            if (other.stamp == stamp && RowOf(other.ref, arena, cells) == row) return true;
        }
    }

    static std::string_view RowOf(std::uint64_t ref, const RowArena &arena, int cells) {
        const char *start = arena.at(ref);
        const char *end = start;
        for (int c = 0; c < cells; ++c)
            TakeCell(end);
        return {start, static_cast<std::size_t>(end - start)};
    }
    static std::size_t Hash(std::string_view row) { return std::hash<std::string_view>{}(row); }

private:
    void grow(const std::vector<Kept> &kept, const RowArena &arena, int cells) {
        std::vector<std::uint32_t> slots(std::max<std::size_t>(1024, m_slots.size() * 2), 0);
        const std::size_t mask = slots.size() - 1;
        for (const std::uint32_t held : m_slots) {
            if (held == 0) continue;
            std::size_t slot = Hash(RowOf(kept[held - 1].ref, arena, cells)) & mask;
            while (slots[slot] != 0)
                slot = (slot + 1) & mask;
            slots[slot] = held;
        }
        m_slots.swap(slots);
    }

    std::vector<std::uint32_t> m_slots;
    std::size_t m_count = 0;
};

// The merged rows in order, ready to be written out column by column.
class Merged {
public:
    MergeSummary summary;
    std::vector<std::string_view> headers; ///< row 0, one per column of the result
    RowArena arena;
    std::vector<Kept> rows;

    /// Calls `put(col, row, bytes)` for every cell of the result in the order a project file keeps them:
    /// column by column, each from the header row down. Once only: it consumes the row references.
    template <typename Put>
    void write(Put &&put) {
        const int cols = summary.colCount;
        for (int col = 0; col < cols; ++col) {
            put(col, 0, headers[static_cast<std::size_t>(col)]);
            int row = 0;
            for (Kept &kept : rows) {
                ++row;
                if (col == 0) {
                    char number[16];
                    const auto end = std::to_chars(number, number + sizeof number, row).ptr;
                    put(col, row, std::string_view(number, static_cast<std::size_t>(end - number)));
                    continue;
                }
                // Each row's reference moves on to its next cell as the columns go by.
                const char *start = arena.at(kept.ref);
                const char *at = start;
                put(col, row, TakeCell(at));
                kept.ref += static_cast<std::uint64_t>(at - start);
            }
        }
    }
};

using MergeCollect = Result<std::unique_ptr<Merged>, MergeError>;

// Checks the headers of `sources`, reads their rows in turn and keeps each dated row once and every
// undated one, in the order of MergeTables.
MergeCollect Collect(const std::vector<std::unique_ptr<MergeSource>> &sources, const SystemFormats &formats) {
    if (sources.empty()) return MergeError{MergeError::Kind::NoInput, {}, Pick(TxtMergeNoInput)};
    const MergeSource &first = *sources.front();
    for (const auto &input : sources) {
        for (int col = kFirstFixedHeader; col <= kLastFixedHeader; ++col) {
            const bool firstHas = first.rowCount() > 0;
            const bool inputHas = input->rowCount() > 0;
            const std::string_view want =
                firstHas && col < first.colCount() ? first.header(col) : std::string_view{};
            const std::string_view have =
                inputHas && col < input->colCount() ? input->header(col) : std::string_view{};
            if (want != have || firstHas != inputHas)
                return MergeError{MergeError::Kind::HeaderMismatch, input->name(),
                                  Pick(TxtMergeHeaderMismatch).arg(input->name(), first.name())};
        }
    }

    auto merged = std::make_unique<Merged>();
    MergeSummary &summary = merged->summary;
    int cols = 0;
    bool channel1Somewhere = false;
    std::size_t inputRows = 0;
    for (const auto &input : sources) {
        cols = std::max(cols, input->colCount());
        summary.flags.channel1 = summary.flags.channel1 || input->flags().channel1;
        summary.flags.channel2 = summary.flags.channel2 || input->flags().channel2;
        channel1Somewhere = channel1Somewhere || !HoldsChannel2Alone(*input);
        inputRows += static_cast<std::size_t>(std::max(input->rowCount() - 1, 0));
    }
    // Channel 2 alone beside an input that holds channel 1 in its first slot: channel 2 moves to the
    // second slot, which the result then shows.
    std::vector<ColumnMap> maps;
    maps.reserve(sources.size());
    for (const auto &input : sources) {
        const bool shift = channel1Somewhere && HoldsChannel2Alone(*input);
        if (shift) cols = std::max(cols, static_cast<int>(column::kTwoSlotCount));
        maps.emplace_back(*input, shift);
    }
    summary.colCount = cols;
    merged->headers.assign(static_cast<std::size_t>(cols), std::string_view{});
    for (int col = 0; col < cols; ++col) {
        for (const ColumnMap &map : maps) {
            if (const auto header = map.header(col)) {
                merged->headers[static_cast<std::size_t>(col)] = *header;
                break;
            }
        }
    }

    StampReader stamps(formats);
    // Untouched room costs no memory: reserving for every input row keeps the list from being copied.
    merged->rows.reserve(inputRows);
    RowSet seen;
    std::string encoded;
    std::vector<std::string_view> cells;
    for (std::size_t i = 0; i < sources.size(); ++i) {
        MergeSource &input = *sources[i];
        const ColumnMap &map = maps[i];
        cells.assign(static_cast<std::size_t>(input.colCount()), std::string_view{});
        const SourceRow source{cells.data(), input.colCount()};
        for (int row = 1; row < input.rowCount(); ++row) {
            if (auto read = input.nextRow(cells.data()); !read) return read.error();
            ++summary.inputRows;
            const std::string_view time = source.cell(column::kTime);
            const std::string_view date = source.cell(column::kDate);
            const auto stamp = stamps.stamp(time, date);
            // A cell written with other formats would be sorted, deduplicated and counted wrongly, and
            // would mix two formats in one file: the input is refused, as one in another language is.
            std::optional<int> unreadable = stamp ? std::nullopt : stamps.unreadableColumn(time, date);
            if (!unreadable) unreadable = stamps.unreadableValueColumn(source);
            if (unreadable)
                return MergeError{MergeError::Kind::UnreadableCell, input.name(),
                                  Pick(TxtMergeUnreadableCell)
                                      .arg(input.name())
                                      .arg(row)
                                      .arg(FromCp1251(source.cell(*unreadable)), formats.shortDateFormat,
                                           formats.timeFormat, QString(formats.decimalSeparator))};
            // The cells that decide whether two rows are the same: every column but the row number.
            encoded.clear();
            for (int col = 1; col < cols; ++col) {
                const std::string_view cell = map.cell(source, col);
                PutLength(encoded, cell.size());
                encoded.append(cell);
            }
            const auto index = static_cast<std::uint32_t>(merged->rows.size());
            // Rows without a date or time are told apart only by their place in the archive (records
            // with an invalid clock all show "NAN"), so none of them is taken for a repeat.
            if (stamp) {
                if (seen.containsElseAdd(encoded, RowSet::Hash(encoded), *stamp, index, merged->rows,
                                         merged->arena, cols - 1)) {
                    ++summary.duplicates;
                    continue;
                }
            } else {
                ++summary.undated;
            }
            // The set looks the new row up by its index, so it is added before the set next grows.
            merged->rows.push_back(
                Kept{stamp.value_or(std::numeric_limits<qint64>::max()), merged->arena.add(encoded)});
        }
        input.finish();
    }
    std::sort(merged->rows.begin(), merged->rows.end(), [](const Kept &a, const Kept &b) {
        return a.stamp != b.stamp ? a.stamp < b.stamp : a.ref < b.ref;
    });
    summary.rows = static_cast<int>(merged->rows.size());
    return merged;
}

} // namespace

MergeResult MergeTables(const std::vector<MergeInput> &inputs, const SystemFormats &formats,
                        ArchiveTable *out) {
    std::vector<std::unique_ptr<MergeSource>> sources;
    for (const MergeInput &input : inputs)
        sources.push_back(std::make_unique<TableSource>(input));
    auto collected = Collect(sources, formats);
    if (!collected) return collected.error();
    Merged &merged = *collected.value();
    const MergeSummary summary = merged.summary;
    ArchiveTable table;
    const int rowCount = summary.rows + 1;
    table.setColCount(summary.colCount);
    table.setRowCount(rowCount);
    table.reserve(summary.colCount, rowCount);
    merged.write([&](int col, int row, std::string_view bytes) { table.setCellBytes(col, row, bytes); });
    table.setChannels(summary.flags);
    table.setArchiveFormat(inputs.front().table->archiveFormat());
    out->swap(table);
    return summary;
}

MergeResult MergeProjectFiles(const QStringList &inputs, const QString &output,
                              const SystemFormats &formats) {
    // Every file is checked whole before any row is merged, so a damaged one is named before any other
    // refusal; the rows are then read one file at a time.
    std::vector<std::unique_ptr<MergeSource>> sources;
    for (const QString &path : inputs) {
        auto reader = std::make_unique<ProjectRowReader>(path);
        const auto opened = reader->open();
        if (!opened) return LoadFailed(path, opened.error());
        sources.push_back(std::make_unique<FileSource>(path, opened.value(), std::move(reader)));
    }
    auto collected = Collect(sources, formats);
    if (!collected) return collected.error();
    Merged &merged = *collected.value();
    const MergeSummary summary = merged.summary;
    ProjectWriter file(output);
    auto written = file.open(summary.flags, summary.colCount, summary.rows + 1);
    if (written) {
        merged.write([&](int, int, std::string_view bytes) { file.putText(bytes); });
        if (auto committed = file.commit(); !committed) written = committed.error();
    }
    if (!written) return MergeError{MergeError::Kind::WriteFailed, output, written.error().message};
    return summary;
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
