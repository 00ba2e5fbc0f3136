// Command line of velda9-cli: the commands, their options, exit codes and the help and version texts.
#pragma once

#include "graph/Limits.h"

#include <QString>
#include <QStringList>

#include "base/Result.h"
#include <cstdint>
#include <optional>

namespace velda::cli {

/// Exit status of velda9-cli; scripts rely on these values.
enum ExitCode : int {
    ExitOk = 0,
    ExitUsage = 2,         ///< the command line is wrong
    ExitInstrument = 3,    ///< the instrument was not reached or the link failed
    ExitFile = 4,          ///< a file cannot be read, written or parsed
    ExitChecksFailed = 5,  ///< the download was saved, but some of its records failed their check
    ExitInterrupted = 128, ///< plus the signal number (130 for Ctrl-C), as shells report it
};

enum class Command {
    Help,
    Version,
    Read,
    Dump,
    Export,
    Report,
    SetClock,
    Screenshot,
    Stats,
    Summary,
    Merge,
    Plot,
    History
};

/// The sub-command of `history` and what it names.
struct HistoryOptions {
    enum class Action { List, Show, Export, Import, Forget };
    Action action = Action::List;
    QString instrument; ///< the INSTRUMENT of list, show, export and forget; import's --instrument
    QString from;       ///< --from DATE as given (checked by the history command)
    QString to;         ///< --to DATE
    std::optional<qint64> download; ///< forget's --download ID
};

/// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

inline constexpr int kDefaultTimeoutSeconds = 30;
inline constexpr Rgb kDefaultPen = 0x000000;
inline constexpr Rgb kDefaultBackground = 0xFFFFFF;
inline constexpr int kDefaultPlotWidth = 1600;
inline constexpr int kDefaultPlotHeight = 1000;
/// Bounds of --width and --height in pixels.
inline constexpr int kMinPlotSide = 200;
inline constexpr int kMaxPlotSide = 10000;

/// What one run of velda9-cli is asked to do.
struct Options {
    Command command = Command::Help;
    QString input;      ///< project file of dump, export, report, stats, summary and plot; merge's first
    QStringList inputs; ///< every project file named (merge takes two or more)
    QString output;     ///< -o FILE of read, export, report, screenshot, summary, merge and plot
    bool simulate = false;
    std::uint8_t language = 0;         ///< 0 Russian (the default), 1 English
    std::optional<QString> localeName; ///< --locale NAME; the system locale when absent
    int timeoutSeconds = kDefaultTimeoutSeconds;
    Rgb pen = kDefaultPen;
    Rgb background = kDefaultBackground;
    Limits limits;     ///< --limit QUANTITY=LOW:HIGH of stats and summary, each quantity at most once
    bool json = false; ///< --json of stats
    std::optional<char> delimiter; ///< --delimiter of a CSV export; the locale's default when absent
    bool isoDate = false;          ///< --iso-date of a CSV export
    int width = kDefaultPlotWidth; ///< --width of plot, pixels
    int height = kDefaultPlotHeight;
    QStringList arguments;         ///< the arguments as given after the program name (plot hands them on)
    QString history;               ///< --history PATH|postgresql://...; empty: VELDA9_HISTORY or the default
    QString instrument;            ///< read's --instrument NAME
    bool noHistory = false;        ///< read's --no-history
    HistoryOptions historyCommand; ///< what `history` does
    bool russianHelp = false;      ///< --help with --lang ru
    /// With Command::Help: the command whose own usage is asked for (COMMAND --help); Help for the whole
    /// program's help.
    Command helpTopic = Command::Help;
};

/// True when an export's output name asks for CSV text (it ends in .csv, any case).
[[nodiscard]] bool IsCsvName(const QString &path);
/// True when a plot's output name ends in .png, .svg or .pdf (any case).
[[nodiscard]] bool IsPictureName(const QString &path);

/// A command line that cannot be run; `message` is one line for stderr.
struct UsageError {
    QString message;
};

/// Parses the arguments after the program name. --help and --version win over everything else; --help
/// after a command name asks for that command's usage (in the --lang given, Russian by default).
[[nodiscard]] Result<Options, UsageError> ParseArguments(const QStringList &arguments);

/// "#RRGGBB", "#RGB" or one of the 16 basic colour names (black, maroon, green, olive, navy, purple, teal,
/// gray/grey, silver, red, lime, yellow, blue, fuchsia/magenta, aqua/cyan, white), case-insensitive.
[[nodiscard]] std::optional<Rgb> ParseColor(QStringView text);

/// True for "C", "POSIX" and names QLocale knows (ru_RU, en_US, de, ...).
[[nodiscard]] bool LocaleNameKnown(const QString &name);

/// The text printed by --help: commands, options and exit codes, in English; the history lines in Russian
/// when `russianHistory` (--help --lang ru).
[[nodiscard]] QString HelpText(bool russianHistory = false);
/// The usage of one command (`command` not Help or Version): its synopsis, what it does and each option
/// it takes, in `language` (0 Russian, 1 English).
[[nodiscard]] QString CommandHelpText(Command command, std::uint8_t language);
/// "velda9-cli VERSION (built DATE)".
[[nodiscard]] QString VersionText();

} // namespace velda::cli
