// Merging archive tables and project files: the rows of several downloads as one table in time order,
// each row once.
#pragma once

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"
#include "base/Result.h"
#include "base/SystemFormats.h"
#include "base/Texts.h"

#include <QString>
#include <QStringList>

#include <vector>

namespace velda {

/// Messages of a refused merge: %1 is the input concerned, %2 the first input.
inline constexpr TextPair TxtMergeHeaderMismatch{
    "%1: заголовки столбцов не совпадают с %2 (файл записан на другом языке?); ничего не изменено",
    "%1: the column headers differ from those of %2 (a file written in another language?); nothing "
    "was changed"};
/// A cell written with other formats: %1 the input, %2 its row, %3 the cell, %4 the date format, %5 the
/// time format, %6 the decimal separator.
inline constexpr TextPair TxtMergeUnreadableCell{
    "%1, строка %2: «%3» не читается в форматах этой системы (дата %4, время %5, десятичный разделитель "
    "«%6»; файл записан с другими форматами?); ничего не изменено",
    "%1, row %2: '%3' does not read in the formats in force (date %4, time %5, decimal separator '%6'; a "
    "file written with other formats?); nothing was changed"};
/// %1 the file, %2 the reason.
inline constexpr TextPair TxtMergeLoadFailed{"%1: проект не открыт (%2); ничего не изменено",
                                             "%1: the project cannot be opened (%2); nothing was changed"};
inline constexpr TextPair TxtMergeNoInput{"Нет проектов для объединения", "No projects to merge"};
/// How messages name the main window's table when a file is appended to it.
inline constexpr TextPair TxtMergeTableName{"таблицы", "the table"};

/// One table taking part in a merge.
struct MergeInput {
    QString name; ///< how messages name it (the file name)
    const ArchiveTable *table = nullptr;
    ChannelFlags flags;
};

/// Why a merge was refused; nothing was changed.
struct MergeError {
    enum class Kind {
        NoInput,        ///< no input given
        LoadFailed,     ///< an input file cannot be opened or is damaged
        HeaderMismatch, ///< an input's fixed header cells (columns 1 to 8) differ from the first input's
        UnreadableCell, ///< an input's time, date or value cell does not read with the formats in force
        WriteFailed,    ///< the result cannot be saved
    };
    Kind kind = Kind::NoInput;
    QString file;    ///< the input or output concerned
    QString message; ///< one line for the user, in the language active when the merge ran
};

/// What a merge did.
struct MergeSummary {
    int inputRows = 0;  ///< data rows of all inputs together
    int rows = 0;       ///< data rows of the result
    int duplicates = 0; ///< rows dropped because an earlier row held the same cells
    int undated = 0;    ///< rows whose date or time cannot be read (kept, after the others)
    int colCount = 0;   ///< columns of the result
    ChannelFlags flags; ///< channel flags of the result: a channel present in any input
};

/// A summary on success, an error otherwise; summary() is value() under the name the callers use.
class [[nodiscard]] MergeResult : public Result<MergeSummary, MergeError> {
public:
    using Result::Result;
    [[nodiscard]] const MergeSummary &summary() const { return value(); }
};

/// Builds in `*out` the merge of `inputs`: the header row of the first input (a column only later inputs
/// have takes its header from the first that has it); then the data rows of all inputs in their order,
/// a dated row whose cells from column 1 on all equal those of an earlier row dropped; ordered by date
/// (column 2) and time (column 1) read with `formats`, stably; rows whose date or time is "NAN" or empty
/// are never repeats and keep their order after all others; column 0 renumbered 1..N. The result has as
/// many columns as the widest input, so the second channel slot stays when any input has it; an input
/// that holds channel 2 alone (10 columns, flags 0/1) puts its cells in the second slot (columns 10 to
/// 13) when another input holds channel 1, so every row keeps its channel. Inputs whose header cells of
/// columns 1 to 8 differ from the first input's, or with a time, date or value cell that does not read
/// with `formats`, are refused and `*out` is left unchanged. The result carries the summary's channel
/// flags and the first input's archive format. Merging a table with itself, or a result again with one
/// of its inputs, gives the same dated rows. Any thread.
MergeResult MergeTables(const std::vector<MergeInput> &inputs, const SystemFormats &formats,
                        ArchiveTable *out);

/// Merges the project files `inputs` as MergeTables does with the loaded files and saves the result to
/// `output` (which may be one of the inputs) through a temporary file, with the bytes SaveProject would
/// write. Every file is checked whole first (the errors of ReadProject), then read a row at a time; the
/// merge holds each kept row once in a compact form and streams the result out, so its memory stays
/// below the output's size rather than growing with the inputs. Nothing is written when an input cannot
/// be loaded or is refused.
MergeResult MergeProjectFiles(const QStringList &inputs, const QString &output, const SystemFormats &formats);

/// Appends the rows of the project file `path` to `*table`, whose channels are `flags`, as MergeTables
/// does with the table first; a table that holds no record (TableIsEmpty) takes the file's rows alone.
/// On success `*table` holds the result and Channel1Present / Channel2Present its flags; on a refusal
/// both are unchanged. GUI thread (the main window's table).
MergeResult AppendProject(ArchiveTable *table, ChannelFlags flags, const QString &path,
                          const SystemFormats &formats);

} // namespace velda
