// Read-back check of a finished workbook file: its zip directory, every part against its size and CRC,
// every XML part complete.
#pragma once

#include <QString>

namespace velda::xlsx {

/// Checks the workbook (zip container) at `path`: the central directory, each part's compressed data
/// against its stored size and CRC-32, and that each XML part ends with the closing tag of its root
/// element. The workbook library writes every part to a temporary file first and copies it into the
/// container without noticing when that write was cut short (full disk, file-size limit), so a cut part
/// would otherwise pass as a complete workbook. Returns an empty string for a sound workbook, otherwise
/// what is wrong with it. Any thread.
[[nodiscard]] QString CheckWorkbookFile(const QString &path);

} // namespace velda::xlsx
