// What the simulated instrument holds and how it misbehaves: the demo instrument, or a scenario read from
// the JSON file named by VELDA9_SIM_SCENARIO.
#pragma once

#include "SimArchive.h"

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <variant>
#include <vector>

namespace velda::sim {

enum class Command { Version, Param, Record, Clock, Screen };
enum class Stage { Write, Length, Data };
enum class OpenError { None, Access, Busy };

[[nodiscard]] const char *CommandName(Command command);
[[nodiscard]] const char *StageName(Stage stage);

/// One injected transfer failure: the given stage of a command (of one record index, or of any when
/// `index` is empty) fails `timesLeft` more times; a negative count fails for ever.
struct FailRule {
    Command command = Command::Version;
    std::optional<std::uint32_t> index;
    Stage stage = Stage::Write;
    int timesLeft = 1;
};

struct Scenario {
    int format = 2;
    Bytes versionReply;
    std::vector<Bytes> records;
    Bytes paramBlock;
    Bytes screen;
    std::int64_t absentMs = 0;
    OpenError openError = OpenError::None;
    std::vector<FailRule> fails;
    std::set<std::uint32_t> badCrcRecords;
    std::string logPath;
};

/// The instrument served when no scenario is named: the demo archive ending at the start of `today`.
[[nodiscard]] Scenario DemoScenario(CalendarDay today);

/// Parses scenario JSON text; on failure returns a message that says which key is wrong and why.
[[nodiscard]] std::variant<Scenario, std::string> ParseScenario(const std::string &text);

} // namespace velda::sim
