// The record array of an exchange.
#include "device/ExchangeBuffers.h"

#include <algorithm>
#include <utility>

namespace velda {

void RecordArray::allocate(std::uint32_t count, std::size_t recordSize) {
    m_bytes.assign(static_cast<std::size_t>(count) * recordSize, 0);
    m_count = count;
    m_recordSize = recordSize;
    m_allocated = true;
}

void RecordArray::release() {
    std::vector<std::uint8_t>().swap(m_bytes);
    m_count = 0;
    m_allocated = false;
}

void RecordArray::store(std::uint32_t index, std::span<const std::uint8_t> bytes) {
    if (index >= m_count) return;
    const std::size_t length = std::min(bytes.size(), m_recordSize);
    std::copy_n(bytes.begin(), length, m_bytes.begin() + static_cast<std::ptrdiff_t>(index * m_recordSize));
}

std::vector<std::uint8_t> RecordArray::take(std::uint32_t count) {
    // Shrinking keeps the block, so the bytes change hands without a copy.
    m_bytes.resize(static_cast<std::size_t>(std::min(count, m_count)) * m_recordSize);
    std::vector<std::uint8_t> taken = std::move(m_bytes);
    release();
    return taken;
}

} // namespace velda
