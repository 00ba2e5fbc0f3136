// Read-back check of a finished workbook file: its zip directory, every part against its size and CRC,
// every XML part complete.
#pragma once

#include "base/Result.h"

#include <QString>

#include <cstdint>

namespace velda::xlsx {

/// What is wrong with a finished workbook file.
struct WorkbookDefect {
    enum class Kind : std::uint8_t {
        Unreadable, ///< the file cannot be opened or mapped again
        Empty,      ///< the file holds no byte
        Damaged,    ///< the container or a part is cut short or broken
    };
    Kind kind = Kind::Damaged;
    QString message; ///< one English line naming the part and the fault
};

/// Checks the workbook (zip container) at `path`: the central directory, each part's compressed data
/// against its stored size and CRC-32, and that each XML part ends with the closing tag of its root
/// element. The workbook library writes every part to a temporary file first and copies it into the
/// container without noticing when that write was cut short (full disk, file-size limit), so a cut part
/// would otherwise pass as a complete workbook. Done for a sound workbook, otherwise what is wrong with it.
/// Any thread.
[[nodiscard]] Result<Done, WorkbookDefect> CheckWorkbookFile(const QString &path);

} // namespace velda::xlsx
