// The buffers one exchange reads the instrument's replies into.
#pragma once

#include "device/ExchangeValues.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace velda {

/// The records of one archive read, fixed-size slots of 36 (format 0) or 44 bytes (formats 1 and 2).
/// Each exchange owns its own (see ExchangeBuffers): allocated in state 3, handed over by move or
/// released in state 10. Not locked: the exchange thread uses it while the exchange runs; another thread
/// may look at it only after the exchange has finished.
class RecordArray {
public:
    /// Allocates `count` zeroed slots of `recordSize` bytes; throws std::bad_alloc when memory is short.
    void allocate(std::uint32_t count, std::size_t recordSize);
    void release();
    /// Stores one received record (at most recordSize() bytes are taken; the rest of the slot is kept).
    void store(std::uint32_t index, std::span<const std::uint8_t> bytes);
    [[nodiscard]] bool allocated() const { return m_allocated; }
    [[nodiscard]] std::uint32_t slotCount() const { return m_count; }
    [[nodiscard]] std::size_t recordSize() const { return m_recordSize; }
    /// All slots, slotCount() * recordSize() bytes.
    [[nodiscard]] std::span<const std::uint8_t> bytes() const { return m_bytes; }
    /// Hands out the first `count` slots (at most slotCount()) without copying them and leaves the array
    /// released.
    [[nodiscard]] std::vector<std::uint8_t> take(std::uint32_t count);

private:
    std::vector<std::uint8_t> m_bytes;
    std::uint32_t m_count = 0;
    std::size_t m_recordSize = 0;
    bool m_allocated = false;
};

/// The buffers one exchange reads the instrument's replies into, owned by its BMTreadUSB. A parameter
/// block is read into the one of its format, from its first byte; the records into the array of their
/// format, allocated in state 3.
struct ExchangeBuffers {
    std::array<std::uint8_t, kShortParamBlockSize> ShortParamBlock{}; ///< format 0
    std::array<std::uint8_t, kLongParamBlockSize> LongParamBlock{};   ///< formats 1 and 2
    RecordArray ShortRecords;                                         ///< 36-byte records of format 0
    RecordArray LongRecords;                                          ///< 44-byte records of formats 1 and 2

    /// The record array of `archiveFormat`.
    [[nodiscard]] RecordArray &recordsOf(int archiveFormat) {
        return archiveFormat == 0 ? ShortRecords : LongRecords;
    }
    /// The parameter block of `archiveFormat`, whole.
    [[nodiscard]] std::span<std::uint8_t> paramBlockOf(int archiveFormat) {
        return archiveFormat == 0 ? std::span<std::uint8_t>(ShortParamBlock)
                                  : std::span<std::uint8_t>(LongParamBlock);
    }
    void releaseRecords() {
        ShortRecords.release();
        LongRecords.release();
    }
};

} // namespace velda
