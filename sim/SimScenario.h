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

// Scenario keys, all optional:
//   firmware_date      "DD.MM.YYYY"; selects the archive format (outdated dates keep format 0's layout)
//   version_reply_hex  the version reply's data instead of "VELDA-9 v4.07 " + firmware date
//   records_hex        the records, served by index (an index past them reads 0xFF bytes)
//   generate           {records, format, seed}: quarter-hourly readings of both channels
//   param_block_check  "crc" (default), "aaaa" (check field 0xAAAA) or "bad" (a wrong CRC)
//   screen_hex         the screen reply's data (default: a frame, the name and the latest readings)
//   faults.absent_ms   the instrument joins the bus this long after the scenario was loaded
//   faults.absent_scans  the instrument is missing from this many device scans (usb_find_devices) after
//                      the scenario was loaded, and joins at the next: "absent, then appearing" that does
//                      not depend on how fast the machine is
//   faults.open_error  "EACCES": usb_open fails; "EBUSY": configuration, claim and transfers fail
//   faults.fail        [{command, index, stage, times}]: stage "write" fails the command's write (for
//                      clock: the command), "length" the reply's first read, "data" its second read
//                      (for clock: the payload write); index limits a record rule to one index;
//                      times defaults to 1, -1 fails for ever
//   faults.bad_crc_records  indices of long records served with a wrong check field
//   faults.removed_at_record  the instrument is pulled out when this record is asked for: that request
//                      and every later transfer fail with ENODEV
//   faults.malformed   [{command, index, reply}]: the command's reply as a broken device sends it:
//                      "oversize" 16 bytes more data than the command has, declared in the length field;
//                      "short" only the first half of the data, declared in the length field;
//                      "zero_length" zero-length packets for both the length and the data;
//                      "length_ffffffff" a length field of 0xFFFFFFFF before the normal data
//   presence           the instrument joining and leaving the bus over time, counted in device scans
//                      (one usb_find_devices call, whoever makes it: a hot-plug scan or an exchange's open)
//                      so that no test waits in real time; each stay is a newly attached device with a
//                      device number of its own, so a replug between two scans shows; all keys optional:
//     arrive_after_scans   N (default 0): at load and after each departure the instrument is off the bus
//                      for the next N scans and arrives at the scan after them
//     leave_after_scans    K (default never): after arriving it leaves at the K-th scan that follows
//                      the arriving one (an exchange's open counts); that scan no longer lists it
//     leave_after_records  M (default never): it leaves once M records of this stay have been read out;
//                      the next transfer fails with ENODEV, as when the cable is pulled
//     stays                S (default unlimited): how many times it arrives; after the last stay it
//                      stays away (0: it never arrives)
//   log                a file that receives one JSON line per command: {"seq", "command", "index"} for a
//                      received command, {"seq", "command": "clock", "payload": [6 bytes], "payload_hex"}
//                      for the clock payload, and {"seq", "command", "index", "fault": stage} for an
//                      injected failure (a command whose write failed has only its fault line; "fault":
//                      "removed" for the request that pulled the instrument out)

enum class Command { Version, Param, Record, Clock, Screen };
enum class Stage { Write, Length, Data };
enum class OpenError { None, Access, Busy };
enum class Malformation { Oversize, Short, ZeroLength, LengthAllOnes };

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

/// A reply the instrument sends malformed: the command's (of one record index, or of any when `index`
/// is empty), every time it is asked for.
struct MalformedRule {
    Command command = Command::Version;
    std::optional<std::uint32_t> index;
    Malformation kind = Malformation::Oversize;
};

/// The instrument's comings and goings, counted in device scans and records served.
struct Presence {
    std::int64_t arriveAfterScans = 0;
    std::optional<std::int64_t> leaveAfterScans;
    std::optional<std::int64_t> leaveAfterRecords;
    std::optional<std::int64_t> stays;
};

struct Scenario {
    int format = 2;
    Bytes versionReply;
    std::vector<Bytes> records;
    Bytes paramBlock;
    Bytes screen;
    /// The screen is the instrument's own display (not screen_hex): it shows `latest` and the clock.
    bool liveScreen = false;
    std::optional<Reading> latest;
    std::int64_t absentMs = 0;
    std::int64_t absentScans = 0;
    OpenError openError = OpenError::None;
    std::vector<FailRule> fails;
    std::set<std::uint32_t> badCrcRecords;
    std::optional<std::uint32_t> removedAtRecord;
    std::vector<MalformedRule> malformed;
    std::optional<Presence> presence;
    std::string logPath;
};

/// The instrument served when no scenario is named: the demo archive ending at the start of `today`.
[[nodiscard]] Scenario DemoScenario(CalendarDay today);

/// Parses scenario JSON text; on failure returns a message that says which key is wrong and why.
[[nodiscard]] std::variant<Scenario, std::string> ParseScenario(const std::string &text);

} // namespace velda::sim
