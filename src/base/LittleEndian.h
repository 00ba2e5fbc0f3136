// Little-endian fields: the byte order of the instrument's replies, its records and of project files.
#pragma once

#include <bit>
#include <cstdint>
#include <type_traits>

namespace velda::le {

template <typename Byte>
concept ByteType = sizeof(Byte) == 1 && std::is_integral_v<Byte>;

/// The 16-bit value stored at `p` (two bytes, low byte first).
template <ByteType Byte>
[[nodiscard]] constexpr std::uint16_t U16(const Byte *p) {
    return static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[0]) |
                                      (static_cast<std::uint16_t>(static_cast<std::uint8_t>(p[1])) << 8));
}

/// The 32-bit value stored at `p` (four bytes, low byte first).
template <ByteType Byte>
[[nodiscard]] constexpr std::uint32_t U32(const Byte *p) {
    return static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[0])) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[1])) << 8) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[2])) << 16) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(p[3])) << 24);
}

template <ByteType Byte>
[[nodiscard]] constexpr std::int32_t I32(const Byte *p) {
    return static_cast<std::int32_t>(U32(p));
}

/// An IEEE 754 single-precision value stored at `p`.
template <ByteType Byte>
[[nodiscard]] constexpr float F32(const Byte *p) {
    return std::bit_cast<float>(U32(p));
}

/// Stores `value` at `p`, low byte first.
template <ByteType Byte>
constexpr void PutU32(Byte *p, std::uint32_t value) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<Byte>((value >> (8 * i)) & 0xFFU);
}

} // namespace velda::le
