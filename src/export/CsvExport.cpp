// CSV export: Windows-1251 cells to UTF-8 through a byte table, RFC 4180 quoting, written in large
// blocks through the file writer, whose new file replaces the target when complete. A second thread
// writes each block, and the disk starts on it, while the next is being filled, so the sync before the
// rename waits for the last block or two rather than the whole file.
//
// Most cells are short ASCII texts that need no quotes. Every cell is copied and checked in one pass,
// sixteen bytes at a time; only a cell that fails the check is written again byte by byte. Room in the
// block is checked once per row, from a bound on its cells' output, so each cell is looked up once.
// Columns repeat their texts from row to row (mode, sensor names), so the last slow cell of each column
// is kept with its output and copied when the next one is the same.
#include "export/CsvExport.h"

#include "base/Cp1251.h"
#include "base/DecimalText.h"
#include "base/FileWriter.h"
#include "base/TableColumns.h"

#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#if defined(__SSE2__) && defined(__x86_64__)
#include <emmintrin.h>
#define VELDA_CSV_SSE2 1
#else
#define VELDA_CSV_SSE2 0
#endif

namespace velda::csv {
namespace {

constexpr int kProgressStep = 512;
constexpr std::size_t kWriteBlock = 1 << 20;
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kLineEnd = "\r\n";
/// Bytes after the end of the written text that the writers may store into: PutUtf8 stores four bytes
/// for a code of one.
constexpr std::size_t kSlack = 4;
/// Room kept for a yyyy-MM-dd text (ten characters, a few more for a year beyond 9999 or before 1).
constexpr std::size_t kIsoRoom = 16;

// UTF-8 of every Windows-1251 byte: up to three bytes packed little-endian in `bytes`, and their count.
struct Utf8Code {
    std::uint32_t bytes;
    std::uint32_t size;
};

const std::array<Utf8Code, 256> &Utf8Table() {
    static const std::array<Utf8Code, 256> table = [] {
        std::array<Utf8Code, 256> t{};
        for (int b = 0; b < 0x100; ++b) {
            const char byte = static_cast<char>(b);
            const QByteArray utf8 = FromCp1251(std::string_view(&byte, 1)).toUtf8();
            Utf8Code &code = t[static_cast<std::size_t>(b)];
            code.size = static_cast<std::uint32_t>(std::min<qsizetype>(utf8.size(), 3));
            for (std::uint32_t i = 0; i < code.size; ++i)
                code.bytes |= static_cast<std::uint32_t>(static_cast<unsigned char>(utf8[i])) << (8 * i);
        }
        return t;
    }();
    return table;
}

// Writes the UTF-8 of `cp1251` at `to` and returns the end. Each byte stores four bytes and advances by
// its code's length, so the room after the end must hold one byte more than the text needs.
char *PutUtf8(char *to, std::string_view cp1251) {
    const auto &table = Utf8Table();
    for (const char c : cp1251) {
        const Utf8Code &code = table[static_cast<unsigned char>(c)];
        const std::uint32_t packed = qToLittleEndian(code.bytes);
        std::memcpy(to, &packed, sizeof packed);
        to += code.size;
    }
    return to;
}

// Writes one field at `to` byte by byte, quoted when it holds the delimiter, a quote, CR or LF; at most
// 3 * size + 2 bytes (a doubled quote takes two of the three a byte may need), plus one byte of room.
char *PutFieldSlow(char *to, std::string_view cp1251, char delimiter) {
    bool quote = false;
    for (const char c : cp1251)
        quote = quote || c == delimiter || c == '"' || c == '\r' || c == '\n';
    if (!quote) return PutUtf8(to, cp1251);
    *to++ = '"';
    std::size_t start = 0;
    for (std::size_t i = 0; i < cp1251.size(); ++i) {
        if (cp1251[i] != '"') continue;
        to = PutUtf8(to, cp1251.substr(start, i + 1 - start));
        *to++ = '"';
        start = i + 1;
    }
    to = PutUtf8(to, cp1251.substr(start));
    *to++ = '"';
    return to;
}

// Copies a cell and tells whether it is written as it is: all ASCII, and none of its bytes the
// delimiter, a quote, CR or LF. Only the cell's own bytes are read (short cells through two overlapping
// loads, as memcpy does), so the check never waits for the stores of the copy.
class BareCopy {
public:
    explicit BareCopy(char delimiter)
#if VELDA_CSV_SSE2
        : m_delimiter(_mm_set1_epi8(delimiter)), m_quote(_mm_set1_epi8('"')), m_cr(_mm_set1_epi8('\r')),
          m_lf(_mm_set1_epi8('\n'))
#endif
    {
#if !VELDA_CSV_SSE2
        for (int b = 0; b < 0x100; ++b)
            m_special[static_cast<std::size_t>(b)] =
                b >= 0x80 || b == static_cast<unsigned char>(delimiter) || b == '"' || b == '\r' || b == '\n';
#endif
    }

    /// Copies the `size` bytes at `from` to `to` and returns whether none of them needs care.
    [[nodiscard]] Q_ALWAYS_INLINE bool copy(char *to, const char *from, std::size_t size) const {
#if VELDA_CSV_SSE2
        if (size >= 16) {
            __m128i hit = _mm_setzero_si128();
            for (std::size_t at = 0; at + 16 < size; at += 16)
                hit = _mm_or_si128(hit, move16(to + at, from + at));
            return _mm_movemask_epi8(_mm_or_si128(hit, move16(to + size - 16, from + size - 16))) == 0;
        }
        std::uint64_t bytes = 0;
        if (size >= 8) {
            std::uint64_t head = 0;
            std::uint64_t tail = 0;
            std::memcpy(&head, from, 8);
            std::memcpy(&tail, from + size - 8, 8);
            std::memcpy(to, &head, 8);
            std::memcpy(to + size - 8, &tail, 8);
            return flags(_mm_set_epi64x(static_cast<long long>(tail), static_cast<long long>(head))) == 0;
        }
        if (size >= 4) {
            std::uint32_t head = 0;
            std::uint32_t tail = 0;
            std::memcpy(&head, from, 4);
            std::memcpy(&tail, from + size - 4, 4);
            std::memcpy(to, &head, 4);
            std::memcpy(to + size - 4, &tail, 4);
            bytes = head | (std::uint64_t{tail} << 32);
        } else if (size > 0) {
            // One to three bytes: the first, the middle and the last cover them all. The zero bytes
            // left in `bytes` match nothing but a zero delimiter, which only sends the cell the slow way.
            const auto first = static_cast<unsigned char>(from[0]);
            const auto middle = static_cast<unsigned char>(from[size / 2]);
            const auto last = static_cast<unsigned char>(from[size - 1]);
            to[0] = static_cast<char>(first);
            to[size / 2] = static_cast<char>(middle);
            to[size - 1] = static_cast<char>(last);
            bytes = first | (std::uint64_t{middle} << 8) | (std::uint64_t{last} << 16);
        }
        return flags(_mm_cvtsi64_si128(static_cast<long long>(bytes))) == 0;
#else
        if (size > 0) std::memcpy(to, from, size);
        unsigned special = 0;
        for (std::size_t i = 0; i < size; ++i)
            special |= m_special[static_cast<unsigned char>(from[i])];
        return special == 0;
#endif
    }

private:
#if VELDA_CSV_SSE2
    // A byte of 0x80 and above has its top bit set, as has every byte that matched.
    [[nodiscard]] __m128i special(__m128i v) const {
        const __m128i hit =
            _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(v, m_delimiter), _mm_cmpeq_epi8(v, m_quote)),
                         _mm_or_si128(_mm_cmpeq_epi8(v, m_cr), _mm_cmpeq_epi8(v, m_lf)));
        return _mm_or_si128(hit, v);
    }
    [[nodiscard]] int flags(__m128i v) const {
        return _mm_movemask_epi8(special(v));
    }
    __m128i move16(char *to, const char *from) const {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(from));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to), v);
        return special(v);
    }

    __m128i m_delimiter;
    __m128i m_quote;
    __m128i m_cr;
    __m128i m_lf;
#else
    std::array<unsigned char, 256> m_special{};
#endif
};

// A text that a spreadsheet program would take for a formula: it begins with '=', '+', '-' or '@' and is
// no number (with either decimal separator; a negative value stays a value).
bool LooksLikeFormula(std::string_view cell) {
    if (cell.empty()) return false;
    const char first = cell.front();
    if (first != '=' && first != '+' && first != '-' && first != '@') return false;
    DecimalText number;
    return ScanDecimal(cell.data(), cell.size(), u'.', number) != DecimalScan::Number &&
           ScanDecimal(cell.data(), cell.size(), u',', number) != DecimalScan::Number;
}

// The yyyy-MM-dd forms of date cells, each nullopt when the cell does not parse. An archive holds few
// distinct dates, and the general parser costs microseconds a cell, so one export keeps the answers.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const { return std::hash<std::string_view>{}(text); }
};

class IsoDates {
public:
    explicit IsoDates(const SystemFormats &formats) : m_formats(formats) {}

    [[nodiscard]] std::optional<std::string> of(std::string_view cell) {
        constexpr std::size_t kMaxKept = 4096;
        if (const auto found = m_kept.find(cell); found != m_kept.end()) return found->second;
        if (m_kept.size() > kMaxKept) m_kept.clear();
        std::optional<std::string> iso;
        if (const auto date = ParseDateCell(FromCp1251(cell), m_formats))
            iso = date->toString(QStringLiteral("yyyy-MM-dd")).toStdString();
        m_kept.emplace(std::string(cell), iso);
        return iso;
    }

private:
    const SystemFormats &m_formats;
    std::unordered_map<std::string, std::optional<std::string>, TextHash, std::equal_to<>> m_kept;
};

ExportError Error(ExportError::Kind kind, const QString &message) {
    return ExportError{kind, message};
}

// The first data row whose date cell holds a text other than "NAN" that does not read with `formats`:
// converting it would pass a foreign date through or, worse, swap day and month.
std::optional<int> FirstUnreadableDate(const ArchiveTable &table, const SystemFormats &formats) {
    IsoDates dates(formats);
    if (xlsx::ExportedColumnCount(table) <= column::kDate) return std::nullopt;
    std::string_view last;
    for (int row = 1; row < table.rowCount(); ++row) {
        const std::string_view cell = table.cellBytes(column::kDate, row);
        if (cell.empty() || cell == "NAN" || cell == last) continue;
        if (!dates.of(cell)) return row;
        last = cell;
    }
    return std::nullopt;
}

// Writes filled blocks to the file on a thread of its own while the caller fills the next one, so that
// turning cells into text overlaps the kernel's copy of the previous block and the disk's write of the
// blocks before it (the file writer starts the disk on each block as it is written). One block is in
// flight.
class OverlappedWriter {
public:
    explicit OverlappedWriter(FileWriter &file) : m_file(file), m_thread([this] { run(); }) {}
    OverlappedWriter(const OverlappedWriter &) = delete;
    OverlappedWriter &operator=(const OverlappedWriter &) = delete;
    ~OverlappedWriter() {
        {
            const std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }

    /// Hands the first `size` bytes of `block` to the thread once the block before them is written, and
    /// gives back in `block` a buffer to fill next. False once any write has failed.
    [[nodiscard]] bool hand(std::vector<char> &block, std::size_t size) {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
        if (m_failed) return false;
        m_block.swap(block);
        m_size = size;
        m_busy = true;
        lock.unlock();
        m_changed.notify_all();
        if (block.size() < m_block.size()) block.resize(m_block.size());
        return true;
    }

    /// Waits until nothing is in flight; false when any write has failed. The file is the caller's again.
    [[nodiscard]] bool drain() {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_busy; });
        return !m_failed;
    }

    /// Why a write failed; only after drain() returned false.
    [[nodiscard]] const FileError &failure() const { return m_failure; }

private:
    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_changed.wait(lock, [this] { return m_busy || m_stop; });
            if (!m_busy) return;
            // The block and the file are this thread's until m_busy is cleared.
            lock.unlock();
            FileResult<Done> written = m_file.write(m_block.data(), m_size);
            lock.lock();
            if (!written && !m_failed) m_failure = written.error();
            m_failed = m_failed || !written;
            m_busy = false;
            m_changed.notify_all();
        }
    }

    FileWriter &m_file;
    FileError m_failure;

    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<char> m_block;
    std::size_t m_size = 0;
    bool m_busy = false;
    bool m_failed = false;
    bool m_stop = false;
    std::thread m_thread; // last: started once the members above exist
};

// Turns rows into CSV text in a buffer that the caller empties (flushes) when it asks for room.
class RowWriter {
public:
    RowWriter(const ArchiveTable &table, const CsvOptions &options, const SystemFormats &formats)
        : m_table(table), m_options(options), m_formats(formats), m_isoDates(formats),
          m_copy(options.delimiter), m_cols(xlsx::ExportedColumnCount(table)),
          m_last(static_cast<std::size_t>(std::max(m_cols, 0))) {}

    /// Writes row `row` into `out` from `used` on, calling `makeRoom(used, bytes)` whenever fewer than
    /// `bytes` bytes are free; makeRoom returns the new `used` (after flushing the text so far, and
    /// growing `out` when it is shorter than `bytes`), or nullopt to stop. Returns the new `used`, or
    /// nullopt when makeRoom stopped.
    template <typename MakeRoom>
    std::optional<std::size_t> put(int row, std::vector<char> &out, std::size_t used, MakeRoom &&makeRoom) {
        char *to = out.data() + used;
        char *limit = out.data() + out.size();
        const auto ensure = [&](std::size_t need) {
            if (static_cast<std::size_t>(limit - to) >= need) return true;
            const auto room = makeRoom(static_cast<std::size_t>(to - out.data()), need);
            if (!room) return false;
            to = out.data() + *room;
            limit = out.data() + out.size();
            return true;
        };
        const bool isoRow = m_options.isoDate && row > 0;
        // The row's cells (at most kMaxColCount, as ExportedColumnCount clamps) are looked up before any text
        // is stored: a store through a char pointer may alias the table, which would make every lookup read
        // the table's arrays again.
        std::array<std::string_view, ArchiveTable::kMaxColCount> cells;
        // Room for each delimiter and field (quotes and all), an ISO date, the line end and the slack.
        std::size_t rowRoom = kIsoRoom + kLineEnd.size() + kSlack;
        for (int col = 0; col < m_cols; ++col) {
            cells[static_cast<std::size_t>(col)] = m_table.cellBytes(col, row);
            rowRoom += 3 * cells[static_cast<std::size_t>(col)].size() + 3;
        }
        // A row that fits in a block is given its room at once; a longer one cell by cell, so that a block
        // grows to one huge cell at most.
        const bool cellByCell = rowRoom > kWriteBlock;
        if (!cellByCell && !ensure(rowRoom)) return std::nullopt;
        for (int col = 0; col < m_cols; ++col) {
            const std::string_view cell = cells[static_cast<std::size_t>(col)];
            if (cellByCell && !ensure(3 * cell.size() + 3 + kIsoRoom + kSlack)) return std::nullopt;
            if (col > 0) *to++ = m_options.delimiter;
            if (isoRow && col == column::kDate && !cell.empty()) {
                to = putDate(to, cell);
            } else if (LooksLikeFormula(cell)) {
                // The quote takes the byte that the room of a quoted field keeps beyond its text.
                m_guarded.assign(1, '\'');
                m_guarded.append(cell);
                to = putSlow(to, m_guarded, col);
            } else if (m_copy.copy(to, cell.data(), cell.size())) {
                to += cell.size();
            } else {
                to = putSlow(to, cell, col);
            }
        }
        if (!ensure(kLineEnd.size())) return std::nullopt;
        std::memcpy(to, kLineEnd.data(), kLineEnd.size());
        return static_cast<std::size_t>(to + kLineEnd.size() - out.data());
    }

private:
    // The last cell of a column that took the slow way, and what it became.
    struct Kept {
        std::string cell;
        std::string text;
    };

    char *putSlow(char *to, std::string_view cell, int col) {
        Kept &kept = m_last[static_cast<std::size_t>(col)];
        if (cell == kept.cell) {
            std::memcpy(to, kept.text.data(), kept.text.size());
            return to + kept.text.size();
        }
        char *end = PutFieldSlow(to, cell, m_options.delimiter);
        kept.cell.assign(cell);
        kept.text.assign(to, static_cast<std::size_t>(end - to));
        return end;
    }

    // A date cell of a data row with --iso-date: yyyy-MM-dd when it parses, else as any other cell.
    char *putDate(char *to, std::string_view cell) {
        if (cell != m_lastDate) {
            m_lastDate.assign(cell);
            m_lastIso = m_isoDates.of(cell);
        }
        if (m_lastIso && m_lastIso->size() <= kIsoRoom) {
            std::memcpy(to, m_lastIso->data(), m_lastIso->size());
            return to + m_lastIso->size();
        }
        if (m_copy.copy(to, cell.data(), cell.size())) return to + cell.size();
        return putSlow(to, cell, column::kDate);
    }

    const ArchiveTable &m_table;
    const CsvOptions &m_options;
    const SystemFormats &m_formats;
    IsoDates m_isoDates;
    const BareCopy m_copy;
    const int m_cols;
    std::vector<Kept> m_last;
    std::string m_lastDate;
    std::optional<std::string> m_lastIso;
    std::string m_guarded; ///< a formula-like cell with its leading quote
};

} // namespace

char DefaultDelimiter(QChar decimalSeparator) {
    return decimalSeparator == QLatin1Char(',') ? ';' : ',';
}

std::optional<QChar> DecimalSeparatorInCells(const ArchiveTable &table) {
    const int cols = xlsx::ExportedColumnCount(table);
    for (int row = 1; row < table.rowCount(); ++row) {
        for (int slot = 0; slot < column::kSlotCount; ++slot) {
            for (int place = column::kTemperatureInSlot; place <= column::kThirdInSlot; ++place) {
                const int col = column::InSlot(slot, place);
                if (col >= cols) continue;
                const std::string_view cell = table.cellBytes(col, row);
                DecimalText number;
                for (const char separator : {',', '.'}) {
                    if (cell.find(separator) != std::string_view::npos &&
                        ScanDecimal(cell.data(), cell.size(), static_cast<char16_t>(separator), number) ==
                            DecimalScan::Number)
                        return QChar::fromLatin1(separator);
                }
            }
        }
    }
    return std::nullopt;
}

char DelimiterFor(const ArchiveTable &table, const SystemFormats &formats) {
    return DefaultDelimiter(DecimalSeparatorInCells(table).value_or(formats.decimalSeparator));
}

std::optional<char> ParseDelimiter(QStringView text) {
    if (text == u";" || text == u"semicolon") return ';';
    if (text == u"," || text == u"comma") return ',';
    if (text == u"tab" || text == u"\t") return '\t';
    return std::nullopt;
}

void AppendCsvRow(std::string &out, const ArchiveTable &table, int row, const CsvOptions &options,
                  const SystemFormats &formats) {
    RowWriter writer(table, options, formats);
    std::vector<char> text(256);
    const auto grow = [&](std::size_t used, std::size_t need) -> std::optional<std::size_t> {
        text.resize(std::max(2 * text.size(), used + need));
        return used;
    };
    if (const auto used = writer.put(row, text, 0, grow)) out.append(text.data(), *used);
}

ExportResult ExportToCsv(const ArchiveTable &table, const QString &fileName, const CsvOptions &options,
                         const SystemFormats &formats, const ExportProgress &progress) {
    using Kind = ExportError::Kind;
    if (options.isoDate) {
        if (const auto row = FirstUnreadableDate(table, formats))
            return Error(Kind::DateNotRead,
                         Pick(TxtCsvDateNotRead)
                             .arg(*row)
                             .arg(table.cell(column::kDate, *row), formats.shortDateFormat));
    }

    FileWriter file(fileName);
    if (auto opened = file.open(); !opened) return xlsx::FileFault(Kind::CannotCreate, opened.error());

    const int rowTotal = std::max(table.rowCount(), 0);
    if (progress && !progress(0, rowTotal)) return Error(Kind::Cancelled, QStringLiteral("Export cancelled"));
    // Rows are written into one large block, which goes to the writer thread whenever a cell may not fit
    // in what is left of it (also in the middle of a row); a cell longer than the whole block gets a block
    // of its own size.
    std::vector<char> block(kWriteBlock);
    std::size_t used = kByteOrderMark.size();
    std::memcpy(block.data(), kByteOrderMark.data(), kByteOrderMark.size());
    {
        OverlappedWriter writer(file);
        const auto makeRoom = [&](std::size_t size, std::size_t need) -> std::optional<std::size_t> {
            if (!writer.hand(block, size)) return std::nullopt;
            if (need > block.size()) block.resize(need);
            return 0;
        };
        RowWriter rows(table, options, formats);
        bool written = true;
        for (int row = 0; row < rowTotal && written; ++row) {
            const auto next = rows.put(row, block, used, makeRoom);
            written = next.has_value();
            if (!written) break;
            used = *next;
            if (progress && (row + 1) % kProgressStep == 0 && !progress(row + 1, rowTotal)) {
                (void)writer.drain();
                return Error(Kind::Cancelled, QStringLiteral("Export cancelled"));
            }
        }
        if (!(written && writer.hand(block, used) && writer.drain()))
            return xlsx::FileFault(Kind::WriteFailed, writer.failure());
    }
    if (auto committed = file.commit(); !committed)
        return xlsx::FileFault(Kind::ReplaceFailed, committed.error());
    if (progress) progress(rowTotal, rowTotal);
    return xlsx::ExportSummary{1, rowTotal, QFileInfo(fileName).absoluteFilePath()};
}

} // namespace velda::csv
