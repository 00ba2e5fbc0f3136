// The archive table's header row, written in either language by the main window and the command line.
#pragma once

#include "base/ArchiveTable.h"

#include <cstdint>

namespace velda {

/// Writes the header row: "№" in column 0 and the headers of columns 1 to 13 in `language`, whatever
/// the shown column count. Columns 9 and 13 keep naming the quantity they hold (heat flux, dew point or
/// pressure, as the fill or a project file left their header), now in `language`.
void WriteHeaderRow(ArchiveTable &table, std::uint8_t language);

/// Writes the header of each column beyond the shown ones (colCount() to 13) whose header cell is empty,
/// as WriteHeaderRow would, in `language`; every other header cell keeps its text.
void CompleteHeaderRow(ArchiveTable &table, std::uint8_t language);

} // namespace velda
