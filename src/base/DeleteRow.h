// Deleting one data row of the archive table: whole stored rows move up, the last one is dropped.
#pragma once

#include "base/ArchiveTable.h"

namespace velda {

/// Deletes the data row `topRow` (the selection's top row): every row below moves up by one, whole
/// stored rows included, and the last row ends empty; the table loses its last row unless it holds only
/// one data row, which stays as an empty row. Returns false (table untouched) when `topRow` is not a data
/// row. The numbers in column 0 are not renumbered.
[[nodiscard]] bool DeleteRow(ArchiveTable &table, int topRow);

} // namespace velda
