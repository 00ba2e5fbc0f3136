// The archive table's header row, written in either language by the main window and the command line.
#pragma once

#include "base/ArchiveTable.h"

#include <cstdint>

namespace velda {

/// Writes the header row: "№" in column 0 and the headers of columns 1 to 13 in `language`, whatever
/// the shown column count; the third-quantity headers of columns 9 and 13 included.
void WriteHeaderRow(ArchiveTable &table, std::uint8_t language);

} // namespace velda
