// Fuzz target: record decoding and table fill for each archive format. Any record bytes fill one row per
// record, every cell valid Windows-1251 text, value cells numbers with two decimals or "NAN".
//
// Input: byte 0 the archive format (mod 3), byte 1 the language (bit 0), decimal comma (bit 1) and how
// many records the count claims beyond those the buffer holds (bits 2-3); the rest the records.
#include "FuzzCheck.h"

#include "archive/ArchiveRecord.h"
#include "archive/TableFill.h"
#include "base/ArchiveTable.h"
#include "base/Cp1251.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"

#include <QLocale>
#include <QRegularExpression>

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace {

using velda::ArchiveTable;

constexpr int kFirstSlotColumn = 6;
constexpr int kSlotColumns = 4;

bool ValidCp1251(std::string_view bytes) {
    // 0x98 is the one byte the code page leaves unassigned; a zero byte would cut the cell in a project.
    if (bytes.find('\x98') != std::string_view::npos || bytes.find('\0') != std::string_view::npos)
        return false;
    return velda::ToCp1251(velda::FromCp1251(bytes)) == bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    if (size < 2) return 0;
    static const velda::SystemFormats pointFormats = velda::SystemFormats::FromLocale(QLocale::c());
    static const velda::SystemFormats commaFormats =
        velda::SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia));
    static const QRegularExpression pointNumber(QStringLiteral("^-?[0-9]+\\.[0-9]{2}$"));
    static const QRegularExpression commaNumber(QStringLiteral("^-?[0-9]+,[0-9]{2}$"));

    const int format = data[0] % 3;
    const bool english = (data[1] & 1U) != 0;
    const bool comma = (data[1] & 2U) != 0;
    const std::size_t extra = (data[1] >> 2) & 3U;
    const std::span<const std::uint8_t> records(data + 2, size - 2);
    const std::size_t recordSize = velda::RecordSize(format);
    const std::size_t held = records.size() / recordSize;
    const std::size_t count = held + extra;

    velda::LanguageIndex = english ? 1 : 0;
    velda::FillContext context;
    context.formats = comma ? &commaFormats : &pointFormats;
    ArchiveTable table;
    table.setColCount(ArchiveTable::kMaxColCount);
    // Rows of an earlier, longer archive must not survive the fill.
    table.setCell(0, static_cast<int>(count) + 3, u"old");
    velda::FillArchiveTable(table, records, count, format, context);

    FUZZ_CHECK(table.rowCount() == static_cast<int>(count) + 1);
    const QRegularExpression &number = comma ? commaNumber : pointNumber;
    for (int row = 0; row < table.storedRowCount(); ++row) {
        const bool written = row >= 1 && static_cast<std::size_t>(row) <= held;
        for (int col = 0; col < ArchiveTable::kMaxColCount + 2; ++col) {
            const std::string_view bytes = table.cellBytes(col, row);
            FUZZ_CHECK(ValidCp1251(bytes));
            if (row == 0) continue;
            if (!written) {
                FUZZ_CHECK(bytes.empty());
                continue;
            }
            const QString text = table.cell(col, row);
            if (col == 0) FUZZ_CHECK(text == QString::number(row));
            if (col >= 1 && col <= 3) FUZZ_CHECK(!text.isEmpty());
            if (col >= kFirstSlotColumn && col < kFirstSlotColumn + 2 * kSlotColumns &&
                (col - kFirstSlotColumn) % kSlotColumns != 0 && !text.isEmpty() && text != u"NAN")
                FUZZ_CHECK(number.match(text).hasMatch());
            if (col >= ArchiveTable::kMaxColCount) FUZZ_CHECK(text.isEmpty());
        }
    }
    // Decoding never reads past the bytes it is given, whatever their number.
    const auto cut = records.first(std::min<std::size_t>(records.size(), recordSize - 1));
    const velda::ArchiveRecord partial = velda::DecodeRecord(format, cut);
    FUZZ_CHECK(partial.Table == velda::SensorTableOf(format));
    return 0;
}
