// Sort keys, the table's quicksort and the row rearrangement that follows it.
#include "base/SortTable.h"

#include "base/Cp1251.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"

#include <QCollator>

#include <algorithm>
#include <string_view>
#include <unordered_map>

#include <limits>
#include <string>
#include <vector>

namespace velda {

std::atomic<int> SortDirection{0};

int ToggleSortDirection() {
    const int next = SortDirection.load() == -1 ? 1 : -1;
    SortDirection.store(next);
    return next;
}

namespace {

constexpr std::int64_t kEmptyTemperatureKey = -27300; // -273.00 degrees C
constexpr std::int64_t kEmptyHumidityKey = -100;      // -1.00 %
constexpr std::int64_t kEmptyFluxKey = -300000;       // -3000.00 W/m2
// Values are rounded to this many significant digits before the whole-number test, so a product
// that carries noise in the far digits still counts as whole.
constexpr int kSignificantDigits = 15;
constexpr int kMaxInt64Digits = 18;

bool isDigit(QChar c) {
    return c >= QLatin1Char('0') && c <= QLatin1Char('9');
}

bool isBlankCell(QStringView text) {
    return text.isEmpty() || text == QLatin1String(" ");
}

// Digits (most significant first, no leading zeros) and the sign of an integer, to int64.
std::optional<std::int64_t> digitsToInt(const std::string &digits, bool negative) {
    if (digits.size() > static_cast<std::size_t>(kMaxInt64Digits) + 1) return std::nullopt;
    unsigned long long value = 0;
    const unsigned long long limit =
        negative ? static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max()) + 1ULL
                 : static_cast<unsigned long long>(std::numeric_limits<std::int64_t>::max());
    for (char c : digits) {
        const auto d = static_cast<unsigned long long>(c - '0');
        if (value > (limit - d) / 10ULL) return std::nullopt;
        value = value * 10ULL + d;
    }
    if (negative) {
        if (value == 0) return 0;
        return static_cast<std::int64_t>(-static_cast<long long>(value - 1ULL) - 1LL);
    }
    return static_cast<std::int64_t>(value);
}

struct SortItem {
    int row = 0;
    std::int64_t intKey = 0;
};

} // namespace

ColumnSortRule SortRuleOf(int column) {
    switch (column) {
    case 0:
        return {SortKeyKind::StrictInteger, std::nullopt};
    case 4:
        return {SortKeyKind::LeadingDigits, 0};
    case 5:
        return {SortKeyKind::StrictInteger, 0};
    case 7:
    case 11:
        return {SortKeyKind::Hundredths, kEmptyTemperatureKey};
    case 8:
    case 12:
        return {SortKeyKind::Hundredths, kEmptyHumidityKey};
    case 9:
    case 13:
        return {SortKeyKind::Hundredths, kEmptyFluxKey};
    default:
        return {SortKeyKind::Text, std::nullopt};
    }
}

std::optional<std::int64_t> StrictIntegerKey(QStringView text, SortError::Kind *kind) {
    if (kind) *kind = SortError::Kind::NotAnInteger;
    qsizetype i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size()) return std::nullopt;
    std::string digits;
    for (; i < text.size(); ++i) {
        if (!isDigit(text[i])) return std::nullopt;
        if (digits.empty() && text[i] == QLatin1Char('0')) continue;
        digits.push_back(static_cast<char>(text[i].unicode()));
    }
    const auto value = digitsToInt(digits, negative);
    if (!value && kind) *kind = SortError::Kind::OutOfRange;
    return value;
}

std::int64_t LeadingDigitsKey(QStringView text) {
    qsizetype i = 0;
    while (i < text.size() && text[i].isSpace())
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    std::int64_t value = 0;
    constexpr std::int64_t kMax = std::numeric_limits<std::int64_t>::max();
    for (; i < text.size() && isDigit(text[i]); ++i) {
        const std::int64_t d = text[i].unicode() - '0';
        value = value > (kMax - d) / 10 ? kMax : value * 10 + d; // saturate instead of wrapping
    }
    return negative ? -value : value;
}

std::optional<std::int64_t> HundredthsKey(QStringView text, QChar decimalSeparator, SortError::Kind *kind) {
    auto fail = [&](SortError::Kind why) -> std::optional<std::int64_t> {
        if (kind) *kind = why;
        return std::nullopt;
    };
    const QStringView t = text.trimmed();
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
        negative = t[i] == QLatin1Char('-');
        ++i;
    }
    // The value is digits x 10^exponent, held exactly as decimal digits.
    std::string digits;
    long long exponent = 0;
    bool anyDigit = false;
    for (; i < t.size() && isDigit(t[i]); ++i) {
        anyDigit = true;
        if (digits.empty() && t[i] == QLatin1Char('0')) continue;
        digits.push_back(static_cast<char>(t[i].unicode()));
    }
    if (i < t.size() && t[i] == decimalSeparator) {
        for (++i; i < t.size() && isDigit(t[i]); ++i) {
            anyDigit = true;
            --exponent;
            if (digits.empty() && t[i] == QLatin1Char('0')) continue;
            digits.push_back(static_cast<char>(t[i].unicode()));
        }
    }
    if (!anyDigit) return fail(SortError::Kind::NotANumber);
    if (i < t.size() && (t[i] == QLatin1Char('e') || t[i] == QLatin1Char('E'))) {
        ++i;
        bool expNegative = false;
        if (i < t.size() && (t[i] == QLatin1Char('+') || t[i] == QLatin1Char('-'))) {
            expNegative = t[i] == QLatin1Char('-');
            ++i;
        }
        if (i == t.size() || !isDigit(t[i])) return fail(SortError::Kind::NotANumber);
        long long e = 0;
        for (; i < t.size() && isDigit(t[i]); ++i)
            e = std::min(e * 10 + (t[i].unicode() - '0'), 100000LL);
        exponent += expNegative ? -e : e;
    }
    if (i != t.size()) return fail(SortError::Kind::NotANumber);
    if (digits.empty()) return 0;

    exponent += 2; // x 100
    if (digits.size() > static_cast<std::size_t>(kSignificantDigits)) {
        const bool roundUp = digits[static_cast<std::size_t>(kSignificantDigits)] >= '5';
        exponent += static_cast<long long>(digits.size()) - kSignificantDigits;
        digits.resize(static_cast<std::size_t>(kSignificantDigits));
        if (roundUp) {
            std::size_t k = digits.size();
            while (k > 0 && digits[k - 1] == '9') {
                digits[k - 1] = '0';
                --k;
            }
            if (k == 0) {
                digits.insert(digits.begin(), '1');
                digits.pop_back();
                ++exponent;
            } else {
                ++digits[k - 1];
            }
        }
    }
    while (!digits.empty() && digits.back() == '0') {
        digits.pop_back();
        ++exponent;
    }
    if (exponent < 0) return fail(SortError::Kind::NotWholeAfterX100);
    if (static_cast<long long>(digits.size()) + exponent > kMaxInt64Digits + 1)
        return fail(SortError::Kind::OutOfRange);
    digits.append(static_cast<std::size_t>(exponent), '0');
    const auto value = digitsToInt(digits, negative);
    if (!value) return fail(SortError::Kind::OutOfRange);
    return value;
}

QString SortError::message() const {
    static constexpr TextPair kNotAnInteger{"«%1» не является целым числом (строка %2, столбец %3)",
                                            "'%1' is not a valid integer value (row %2, column %3)"};
    static constexpr TextPair kNotANumber{"«%1» не является числом (строка %2, столбец %3)",
                                          "'%1' is not a valid number (row %2, column %3)"};
    static constexpr TextPair kNotWhole{"«%1»: больше двух знаков после запятой (строка %2, столбец %3)",
                                        "'%1' has more than two decimals (row %2, column %3)"};
    static constexpr TextPair kOutOfRange{"«%1»: число слишком велико (строка %2, столбец %3)",
                                          "'%1' is out of range (row %2, column %3)"};
    const TextPair *pair = &kNotAnInteger;
    switch (kind) {
    case Kind::NotAnInteger:
        pair = &kNotAnInteger;
        break;
    case Kind::NotANumber:
        pair = &kNotANumber;
        break;
    case Kind::NotWholeAfterX100:
        pair = &kNotWhole;
        break;
    case Kind::OutOfRange:
        pair = &kOutOfRange;
        break;
    }
    return Pick(*pair).arg(cellText).arg(row).arg(column);
}

namespace {

// Text columns: each distinct cell text is collated once and replaced by its rank among the distinct
// texts (equal collation, equal rank), so the quicksort compares integers and meets exactly the order the
// collator gives. An archive has few distinct sensor names and dates among many rows.
void RankTexts(const ArchiveTable &table, int column, std::vector<SortItem> &items) {
    QCollator collator(CurrentFormats().locale);
    collator.setCaseSensitivity(Qt::CaseSensitive);
    std::unordered_map<std::string_view, int> idOf;
    std::vector<QCollatorSortKey> keys;
    std::vector<int> rowIds(items.size());
    for (std::size_t k = 0; k < items.size(); ++k) {
        const std::string_view bytes = table.cellBytes(column, static_cast<int>(k) + 1);
        const auto [it, inserted] = idOf.try_emplace(bytes, static_cast<int>(keys.size()));
        if (inserted) keys.push_back(collator.sortKey(FromCp1251(bytes)));
        rowIds[k] = it->second;
    }
    std::vector<int> byKey(keys.size());
    for (std::size_t k = 0; k < byKey.size(); ++k)
        byKey[k] = static_cast<int>(k);
    const auto keyOf = [&keys](int id) -> const QCollatorSortKey & {
        return keys[static_cast<std::size_t>(id)];
    };
    std::sort(byKey.begin(), byKey.end(), [&](int a, int b) { return keyOf(a).compare(keyOf(b)) < 0; });
    std::vector<std::int64_t> rank(keys.size());
    for (std::size_t k = 0; k < byKey.size(); ++k) {
        const bool sameAsPrevious = k > 0 && keyOf(byKey[k - 1]).compare(keyOf(byKey[k])) == 0;
        rank[static_cast<std::size_t>(byKey[k])] =
            sameAsPrevious ? rank[static_cast<std::size_t>(byKey[k - 1])] : static_cast<std::int64_t>(k);
    }
    for (std::size_t k = 0; k < items.size(); ++k)
        items[k].intKey = rank[static_cast<std::size_t>(rowIds[k])];
}

} // namespace

SortResult SortTable(ArchiveTable &table, int column, int direction) {
    const int rowCount = table.rowCount();
    if (direction == 0 || rowCount < 2) return {};

    const ColumnSortRule rule = SortRuleOf(column);
    const QChar separator = CurrentFormats().decimalSeparator;
    const bool textKeys = rule.kind == SortKeyKind::Text;
    std::vector<SortItem> items(static_cast<std::size_t>(rowCount - 1));
    if (textKeys) RankTexts(table, column, items);
    for (int r = 1; r < rowCount; ++r) {
        SortItem &item = items[static_cast<std::size_t>(r - 1)];
        item.row = r;
        if (textKeys) continue;
        const QString text = table.cell(column, r);
        if (rule.emptyKey && isBlankCell(text)) {
            item.intKey = *rule.emptyKey;
            continue;
        }
        SortError::Kind why = SortError::Kind::NotAnInteger;
        std::optional<std::int64_t> key;
        switch (rule.kind) {
        case SortKeyKind::StrictInteger:
            key = StrictIntegerKey(text, &why);
            break;
        case SortKeyKind::LeadingDigits:
            key = LeadingDigitsKey(text);
            break;
        case SortKeyKind::Hundredths:
            key = HundredthsKey(text, separator, &why);
            break;
        case SortKeyKind::Text:
            break;
        }
        if (!key) return {SortError{why, column, r, text}};
        item.intKey = *key;
    }

    const int sign = direction == 1 ? 1 : -1;
    auto compare = [&](const SortItem &a, const SortItem &b) -> int {
        const int c = a.intKey < b.intKey ? -1 : (a.intKey > b.intKey ? 1 : 0);
        return sign * c;
    };

    // The quicksort works on positions into `items`; the pivot is the item itself, not its position, so
    // exchanges during a pass do not change what the other items are compared against.
    std::vector<int> order(items.size());
    for (std::size_t k = 0; k < order.size(); ++k)
        order[k] = static_cast<int>(k);
    auto at = [&](int pos) -> const SortItem & {
        return items[static_cast<std::size_t>(order[static_cast<std::size_t>(pos)])];
    };
    // Recursion only on the left part, as the table's procedure does; the right part loops.
    auto quickSort = [&](auto &self, int left, int right) -> void {
        int i = left;
        do {
            i = left;
            int j = right;
            const SortItem &pivot = at((left + right) / 2);
            do {
                while (compare(at(i), pivot) < 0)
                    ++i;
                while (compare(at(j), pivot) > 0)
                    --j;
                if (i <= j) {
                    std::swap(order[static_cast<std::size_t>(i)], order[static_cast<std::size_t>(j)]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            if (left < j) self(self, left, j);
            left = i;
        } while (i < right);
    };
    quickSort(quickSort, 0, static_cast<int>(items.size()) - 1);

    // Rearrange: rowAt[p] is the starting row now at data position p, positionOf its inverse.
    const std::size_t n = items.size();
    std::vector<int> rowAt(n);
    std::vector<int> positionOf(n + 1);
    for (std::size_t p = 0; p < n; ++p) {
        rowAt[p] = static_cast<int>(p) + 1;
        positionOf[p + 1] = static_cast<int>(p);
    }
    for (std::size_t p = 0; p < n; ++p) {
        const int wanted = items[static_cast<std::size_t>(order[p])].row;
        const int q = positionOf[static_cast<std::size_t>(wanted)];
        if (q == static_cast<int>(p)) continue;
        table.swapRows(q + 1, static_cast<int>(p) + 1);
        const int displaced = rowAt[p];
        rowAt[static_cast<std::size_t>(q)] = displaced;
        positionOf[static_cast<std::size_t>(displaced)] = q;
        rowAt[p] = wanted;
        positionOf[static_cast<std::size_t>(wanted)] = static_cast<int>(p);
    }
    return {};
}

} // namespace velda
