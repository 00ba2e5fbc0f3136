// The hand-over of a finished archive read to whoever fills the table from its records.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace velda {

/// What an archive read hands to the table fill, on the exchange thread, in state 10 of an exchange that
/// was not cancelled. `records` holds exactly `recordCount` records of `recordSize` bytes that arrived in
/// this exchange (fewer than announced after a link error in the record loop; none for "No Data"); the
/// exchange moves its record array in, so the receiver owns the bytes and nothing else refers to them.
/// Nothing is handed over when the exchange ended without records of its own (failed parameter block).
struct ReceivedArchive {
    std::uint32_t recordCount = 0;
    std::uint8_t archiveFormat = 0;
    std::size_t recordSize = 0; ///< RecordSize(archiveFormat)
    std::vector<std::uint8_t> records;
    /// The firmware date the exchange read ("dd.MM.yyyy"); empty when it did not read the version.
    std::string firmwareDate{};
};

/// Takes the received archive by value: the exchange moves it in, and the records are released when the
/// call returns unless the receiver moves them on.
using ArchiveHandOver = std::function<void(ReceivedArchive)>;

} // namespace velda
