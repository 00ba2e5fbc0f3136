// Command line of velda9-cli: the commands, their options, exit codes and the help and version texts.
#pragma once

#include "graph/Limits.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <variant>

namespace velda::cli {

/// Exit status of velda9-cli; scripts rely on these values.
enum ExitCode : int {
    ExitOk = 0,
    ExitUsage = 2,         ///< the command line is wrong
    ExitInstrument = 3,    ///< the instrument was not reached or the link failed
    ExitFile = 4,          ///< a file cannot be read, written or parsed
    ExitInterrupted = 128, ///< plus the signal number (130 for Ctrl-C), as shells report it
};

enum class Command { Help, Version, Read, Dump, Export, Report, SetClock, Screenshot, Stats, Summary };

/// A colour as 0xRRGGBB.
using Rgb = std::uint32_t;

inline constexpr int kDefaultTimeoutSeconds = 30;
inline constexpr Rgb kDefaultPen = 0x000000;
inline constexpr Rgb kDefaultBackground = 0xFFFFFF;

/// What one run of velda9-cli is asked to do.
struct Options {
    Command command = Command::Help;
    QString input;  ///< project file of dump, export, report, stats and summary
    QString output; ///< -o FILE of read, export, report and screenshot
    bool simulate = false;
    std::uint8_t language = 0;         ///< 0 Russian (the default), 1 English
    std::optional<QString> localeName; ///< --locale NAME; the system locale when absent
    int timeoutSeconds = kDefaultTimeoutSeconds;
    Rgb pen = kDefaultPen;
    Rgb background = kDefaultBackground;
    Limits limits;     ///< --limit QUANTITY=LOW:HIGH of stats and summary, each quantity at most once
    bool json = false; ///< --json of stats
};

/// A command line that cannot be run; `message` is one line for stderr.
struct UsageError {
    QString message;
};

/// Parses the arguments after the program name. --help and --version win over everything else.
[[nodiscard]] std::variant<Options, UsageError> ParseArguments(const QStringList &arguments);

/// "#RRGGBB", "#RGB" or one of the 16 basic colour names (black, maroon, green, olive, navy, purple, teal,
/// gray/grey, silver, red, lime, yellow, blue, fuchsia/magenta, aqua/cyan, white), case-insensitive.
[[nodiscard]] std::optional<Rgb> ParseColor(QStringView text);

/// True for "C", "POSIX" and names QLocale knows (ru_RU, en_US, de, ...).
[[nodiscard]] bool LocaleNameKnown(const QString &name);

/// The text printed by --help: commands, options and exit codes.
[[nodiscard]] QString HelpText();
/// "velda9-cli VERSION (built DATE)".
[[nodiscard]] QString VersionText();

} // namespace velda::cli
