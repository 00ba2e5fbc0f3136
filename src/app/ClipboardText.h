// The archive table as clipboard text: the whole table with tab-stop padding, or a selected block.
#pragma once

#include "app/TableActions.h"
#include "base/ArchiveTable.h"

#include <QString>

#include <cstdint>
#include <optional>

namespace velda {

/// Both copy commands refuse while no archive was read or opened (the record count, not the table, counts).
[[nodiscard]] inline bool ClipboardCopyAllowed(std::uint32_t recordCount) {
    return recordCount != 0;
}

/// Every row from the header row down, the shown columns TAB-separated, each row ending in CR LF. Header
/// cells equal to the Date, Time, Mode or Sensor header of the current language get one extra TAB; a data
/// cell shorter than its column's header of 8 or more characters gets header length / 8 extra TABs, so
/// the text lines up at 8-character tab stops. The last character of each row is dropped before CR LF.
/// Lengths count characters.
[[nodiscard]] QString TableText(const ArchiveTable &table);

/// The selected block, TAB-separated, each row ending in CR LF; no header row, no padding. Cells outside
/// the table are empty, so a selection moved off the table gives CR LF alone.
[[nodiscard]] QString BlockText(const ArchiveTable &table, const Selection &selection);

/// What a copy command puts on the clipboard: TableText (`wholeTable`) or BlockText of `selection`;
/// nullopt, and the command refuses because the table is empty, while ClipboardCopyAllowed is false.
[[nodiscard]] std::optional<QString> CopyCommandText(const ArchiveTable &table, const Selection &selection,
                                                     bool wholeTable, std::uint32_t recordCount);

} // namespace velda
