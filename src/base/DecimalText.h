// Reading numbers back from value cells: one scanner for every reader of the table (sort, graph).
#pragma once

#include <QChar>

#include <algorithm>
#include <cstddef>
#include <string>
#include <type_traits>

namespace velda {

/// A decimal number as a value cell writes it: the value is `digits` x 10^`exponent`, `digits` holding
/// the significant digits without leading zeros (empty for zero).
struct DecimalText {
    bool negative = false;
    std::string digits;
    long long exponent = 0;
};

enum class DecimalScan {
    Number, ///< the text is a number
    Empty,  ///< nothing but blanks
    Invalid ///< anything else
};

namespace detail {

// Blanks around a number: control characters, spaces and the no-break space. Checked on code units, so
// a Windows-1251 byte (whose only space above ASCII is the no-break space 0xA0) reads the same.
inline bool IsBlank(char16_t c) {
    return c <= u' ' || c == u'\u00A0' || (c > 0xFF && QChar::isSpace(c));
}

// The exponent is held to this size: beyond it every reader has failed or overflowed long before.
inline constexpr long long kExponentCap = 100000;

} // namespace detail

/// Scans `size` code units at `text` (QChar/char16_t, or Windows-1251 bytes) as an optional sign, digits
/// with at most one `decimalSeparator` among them (at least one digit in all), and an optional exponent
/// ("e" or "E", an optional sign, at least one digit); blanks around the number are ignored. Nothing
/// else is a number: "NAN", "INF", thousands separators and a second separator are all Invalid.
template <typename Char>
[[nodiscard]] DecimalScan ScanDecimal(const Char *text, std::size_t size, char16_t decimalSeparator,
                                      DecimalText &out) {
    using Unit = std::make_unsigned_t<std::conditional_t<std::is_same_v<Char, QChar>, char16_t, Char>>;
    const auto code = [&](std::size_t i) -> char16_t {
        if constexpr (std::is_same_v<Char, QChar>) {
            return text[i].unicode();
        } else {
            return static_cast<char16_t>(static_cast<Unit>(text[i]));
        }
    };
    const auto isDigit = [](char16_t c) { return c >= u'0' && c <= u'9'; };
    out = DecimalText{};
    std::size_t i = 0;
    std::size_t end = size;
    while (i < end && detail::IsBlank(code(i)))
        ++i;
    while (end > i && detail::IsBlank(code(end - 1)))
        --end;
    if (i == end) return DecimalScan::Empty;
    if (code(i) == u'+' || code(i) == u'-') {
        out.negative = code(i) == u'-';
        ++i;
    }
    bool anyDigit = false;
    bool separatorSeen = false;
    for (; i < end; ++i) {
        const char16_t c = code(i);
        if (isDigit(c)) {
            anyDigit = true;
            if (separatorSeen) --out.exponent;
            if (!out.digits.empty() || c != u'0') out.digits.push_back(static_cast<char>(c));
        } else if (c == decimalSeparator && !separatorSeen) {
            separatorSeen = true;
        } else {
            break;
        }
    }
    if (!anyDigit) return DecimalScan::Invalid;
    if (i < end && (code(i) == u'e' || code(i) == u'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < end && (code(i) == u'+' || code(i) == u'-')) {
            negativeExponent = code(i) == u'-';
            ++i;
        }
        if (i == end || !isDigit(code(i))) return DecimalScan::Invalid;
        long long e = 0;
        for (; i < end && isDigit(code(i)); ++i)
            e = std::min(e * 10 + (code(i) - u'0'), detail::kExponentCap);
        out.exponent += negativeExponent ? -e : e;
    }
    if (i != end) return DecimalScan::Invalid;
    return DecimalScan::Number;
}

} // namespace velda
