// Sorting the archive table's data rows by one column, with the table's own key rules and quicksort.
#pragma once

#include "base/ArchiveTable.h"
#include "base/Result.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>

namespace velda {

/// Direction of the last header click: 0 at start, then -1 (descending) or 1 (ascending). One value
/// serves all columns. Read and written on the GUI thread only.
extern std::atomic<int> SortDirection;

/// Toggles SortDirection the way a header click does (0 and 1 become -1, -1 becomes 1) and returns the
/// new value.
int ToggleSortDirection();

/// How a column's cells are turned into sort keys.
enum class SortKeyKind {
    Text,          ///< the cell text, compared locale-aware and case-sensitive
    StrictInteger, ///< the whole text must be a decimal integer
    LeadingDigits, ///< optional sign and the leading digits; never fails
    Hundredths,    ///< a value with at most two decimals, as value x 100
};

struct ColumnSortRule {
    SortKeyKind kind = SortKeyKind::Text;
    /// Key of an empty cell or of a cell holding one blank; nullopt when such a cell takes the normal rule.
    std::optional<std::int64_t> emptyKey;
};

/// The key rule of `column` (0-13 as laid out by the archive table; 14 and above sort as text).
[[nodiscard]] ColumnSortRule SortRuleOf(int column);

/// Why a cell could not be turned into a key.
struct SortError {
    enum class Kind {
        NotAnInteger,      ///< strict integer conversion failed
        NotANumber,        ///< the text is no decimal number in the user's format
        NotWholeAfterX100, ///< the value has more than two decimals
        OutOfRange,        ///< the key does not fit a 64-bit integer
    };
    Kind kind = Kind::NotAnInteger;
    int column = 0;
    int row = 0;
    QString cellText;

    /// The error's text for the user, in the current language.
    [[nodiscard]] QString message() const;
};

/// The outcome of SortTable: nothing on success, the first failing cell otherwise.
using SortResult = Result<Done, SortError>;

/// Sorts the data rows (row 1 and below) of `table` by `column`: `direction` 1 ascending, any other
/// non-zero value descending, 0 leaves the table untouched. Rows with equal keys end up where the
/// table's quicksort puts them, which is not their previous order. Whole rows move, the number column
/// and cells beyond the shown columns included. When a cell cannot be converted the table is left exactly
/// as it was and the error names that cell. Text columns compare with the current formats' locale.
/// GUI thread (or any thread that owns `table`).
SortResult SortTable(ArchiveTable &table, int column, int direction);

/// Key conversions, exposed for the graph and for tests. Each returns nullopt when the text fails.
[[nodiscard]] std::optional<std::int64_t> StrictIntegerKey(QStringView text, SortError::Kind *kind = nullptr);
[[nodiscard]] std::int64_t LeadingDigitsKey(QStringView text);
/// Value x 100 of a decimal text written with `decimalSeparator`; `kind` (when given) tells why it failed.
[[nodiscard]] std::optional<std::int64_t> HundredthsKey(QStringView text, QChar decimalSeparator,
                                                        SortError::Kind *kind = nullptr);

} // namespace velda
