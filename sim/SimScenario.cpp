// Scenario files of the simulated instrument: parsing with a precise message for every fault.
#include "SimScenario.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <limits>
#include <stdexcept>

namespace velda::sim {

namespace {

using Json = nlohmann::json;

struct ScenarioFault : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Messages quote the file's own keys and texts, which may hold any control character: they are shown
// escaped, so that a message stays the one line the log and the terminal expect.
std::string OneLine(const std::string &message) {
    static const char *const kHex = "0123456789abcdef";
    std::string line;
    for (const char c : message) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') {
            line += "\\n";
        } else if (c == '\r') {
            line += "\\r";
        } else if (c == '\t') {
            line += "\\t";
        } else if (u < 0x20 || u == 0x7F) {
            line += "\\x";
            line += kHex[u >> 4];
            line += kHex[u & 0xF];
        } else {
            line += c;
        }
    }
    return line;
}

[[noreturn]] void Fail(const std::string &message) {
    throw ScenarioFault(message);
}

Bytes Hex(const Json &value, const std::string &where, std::size_t maxBytes) {
    if (!value.is_string()) Fail(where + " must be a text of hexadecimal digits");
    std::string digits;
    for (char c : value.get<std::string>())
        if (c != ' ' && c != ':' && c != '\n' && c != '\t') digits.push_back(c);
    if (digits.size() % 2 != 0) Fail(where + " has an odd number of hexadecimal digits");
    auto nibble = [&](char c) -> std::uint8_t {
        if (c >= '0' && c <= '9') return static_cast<std::uint8_t>(c - '0');
        if (c >= 'a' && c <= 'f') return static_cast<std::uint8_t>(c - 'a' + 10);
        if (c >= 'A' && c <= 'F') return static_cast<std::uint8_t>(c - 'A' + 10);
        Fail(where + " holds '" + std::string(1, c) + "', which is not a hexadecimal digit");
    };
    Bytes bytes;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<std::uint8_t>((nibble(digits[i]) << 4) | nibble(digits[i + 1])));
    if (bytes.size() > maxBytes)
        Fail(where + " holds " + std::to_string(bytes.size()) + " bytes, at most " +
             std::to_string(maxBytes) + " are allowed");
    return bytes;
}

std::int64_t Integer(const Json &value, const std::string &where, std::int64_t low, std::int64_t high) {
    if (!value.is_number_integer()) Fail(where + " must be a whole number");
    const auto number = value.get<std::int64_t>();
    if (number < low || number > high)
        Fail(where + " is " + std::to_string(number) + ", allowed are " + std::to_string(low) + " to " +
             std::to_string(high));
    return number;
}

std::string Text(const Json &value, const std::string &where) {
    if (!value.is_string()) Fail(where + " must be a text");
    return value.get<std::string>();
}

void OnlyKeys(const Json &object, const std::string &where, std::initializer_list<const char *> keys) {
    if (!object.is_object()) Fail(where + " must be an object");
    for (const auto &item : object.items())
        if (std::none_of(keys.begin(), keys.end(), [&](const char *k) { return item.key() == k; }))
            Fail("unknown key \"" + item.key() + "\"" + (where.empty() ? "" : " in " + where));
}

template <typename Enum>
Enum Choice(const Json &value, const std::string &where,
            std::initializer_list<std::pair<const char *, Enum>> choices) {
    const std::string text = Text(value, where);
    std::string allowed;
    for (const auto &[name, e] : choices) {
        if (text == name) return e;
        allowed += (allowed.empty() ? "" : ", ") + std::string(name);
    }
    Fail(where + " is \"" + text + "\", allowed are " + allowed);
}

Command CommandChoice(const Json &value, const std::string &where) {
    return Choice<Command>(value, where,
                           {{"version", Command::Version},
                            {"param", Command::Param},
                            {"record", Command::Record},
                            {"clock", Command::Clock},
                            {"screen", Command::Screen}});
}

FailRule ParseFailRule(const Json &item, const std::string &where) {
    OnlyKeys(item, where, {"command", "index", "stage", "times"});
    if (!item.contains("command")) Fail(where + " needs a \"command\"");
    if (!item.contains("stage")) Fail(where + " needs a \"stage\"");
    FailRule rule;
    rule.command = CommandChoice(item["command"], where + ".command");
    rule.stage = Choice<Stage>(item["stage"], where + ".stage",
                               {{"write", Stage::Write}, {"length", Stage::Length}, {"data", Stage::Data}});
    if (rule.command == Command::Clock && rule.stage == Stage::Length)
        Fail(where + ": the clock command has no reply; use stage \"write\" (the command) or \"data\" "
                     "(the payload)");
    if (item.contains("index"))
        rule.index = static_cast<std::uint32_t>(Integer(item["index"], where + ".index", 0, 65535));
    if (item.contains("times"))
        rule.timesLeft = static_cast<int>(Integer(item["times"], where + ".times", -1, 1000000));
    if (rule.timesLeft == 0) Fail(where + ".times is 0; use a positive count, or -1 for always");
    return rule;
}

MalformedRule ParseMalformedRule(const Json &item, const std::string &where) {
    OnlyKeys(item, where, {"command", "index", "reply"});
    if (!item.contains("command")) Fail(where + " needs a \"command\"");
    if (!item.contains("reply")) Fail(where + " needs a \"reply\"");
    MalformedRule rule;
    rule.command = CommandChoice(item["command"], where + ".command");
    if (rule.command == Command::Clock) Fail(where + ": the clock command has no reply");
    rule.kind = Choice<Malformation>(item["reply"], where + ".reply",
                                     {{"oversize", Malformation::Oversize},
                                      {"short", Malformation::Short},
                                      {"zero_length", Malformation::ZeroLength},
                                      {"length_ffffffff", Malformation::LengthAllOnes}});
    if (item.contains("index"))
        rule.index = static_cast<std::uint32_t>(Integer(item["index"], where + ".index", 0, 65535));
    return rule;
}

void ParseFaults(const Json &faults, Scenario &s) {
    OnlyKeys(faults, "faults",
             {"absent_ms", "absent_scans", "open_error", "fail", "bad_crc_records", "removed_at_record",
              "malformed"});
    if (faults.contains("absent_ms"))
        s.absentMs = Integer(faults["absent_ms"], "faults.absent_ms", 0, 24LL * 3600 * 1000);
    if (faults.contains("absent_scans"))
        s.absentScans = Integer(faults["absent_scans"], "faults.absent_scans", 0, 1000000);
    if (faults.contains("open_error"))
        s.openError = Choice<OpenError>(
            faults["open_error"], "faults.open_error",
            {{"none", OpenError::None}, {"EACCES", OpenError::Access}, {"EBUSY", OpenError::Busy}});
    if (faults.contains("fail")) {
        const Json &list = faults["fail"];
        if (!list.is_array()) Fail("faults.fail must be a list");
        for (std::size_t i = 0; i < list.size(); ++i)
            s.fails.push_back(ParseFailRule(list[i], "faults.fail[" + std::to_string(i) + "]"));
    }
    if (faults.contains("bad_crc_records")) {
        const Json &list = faults["bad_crc_records"];
        if (!list.is_array()) Fail("faults.bad_crc_records must be a list");
        for (std::size_t i = 0; i < list.size(); ++i)
            s.badCrcRecords.insert(static_cast<std::uint32_t>(
                Integer(list[i], "faults.bad_crc_records[" + std::to_string(i) + "]", 0, 65535)));
    }
    if (faults.contains("removed_at_record"))
        s.removedAtRecord = static_cast<std::uint32_t>(
            Integer(faults["removed_at_record"], "faults.removed_at_record", 0, 65535));
    if (faults.contains("malformed")) {
        const Json &list = faults["malformed"];
        if (!list.is_array()) Fail("faults.malformed must be a list");
        for (std::size_t i = 0; i < list.size(); ++i)
            s.malformed.push_back(ParseMalformedRule(list[i], "faults.malformed[" + std::to_string(i) + "]"));
    }
}

Presence ParsePresence(const Json &presence) {
    OnlyKeys(presence, "presence",
             {"arrive_after_scans", "leave_after_scans", "leave_after_records", "stays"});
    constexpr std::int64_t kMaxCount = 1000000;
    Presence p;
    if (presence.contains("arrive_after_scans"))
        p.arriveAfterScans =
            Integer(presence["arrive_after_scans"], "presence.arrive_after_scans", 0, kMaxCount);
    if (presence.contains("leave_after_scans"))
        p.leaveAfterScans =
            Integer(presence["leave_after_scans"], "presence.leave_after_scans", 1, kMaxCount);
    if (presence.contains("leave_after_records"))
        p.leaveAfterRecords =
            Integer(presence["leave_after_records"], "presence.leave_after_records", 1, 65535);
    if (presence.contains("stays")) p.stays = Integer(presence["stays"], "presence.stays", 0, kMaxCount);
    return p;
}

Scenario Parse(const std::string &text) {
    Json root;
    try {
        root = Json::parse(text);
    } catch (const Json::parse_error &e) {
        // nlohmann's message starts with "[json.exception.parse_error.101] parse error at line 3, ...".
        std::string what = e.what();
        const auto at = what.find("] ");
        Fail("not valid JSON: " + (at == std::string::npos ? what : what.substr(at + 2)));
    }
    OnlyKeys(root, "",
             {"firmware_date", "version_reply_hex", "records_hex", "generate", "param_block_check",
              "screen_hex", "faults", "presence", "log"});

    Scenario s;
    std::optional<int> format;
    std::optional<std::string> firmwareDate;
    if (root.contains("firmware_date")) {
        firmwareDate = Text(root["firmware_date"], "firmware_date");
        const auto dateFormat = FormatOfFirmwareDate(*firmwareDate);
        if (!dateFormat) Fail("firmware_date \"" + *firmwareDate + "\" is not a date DD.MM.YYYY");
        format = std::max(*dateFormat, 0); // outdated firmware keeps the oldest layout
    }
    std::optional<Bytes> versionReply;
    if (root.contains("version_reply_hex")) {
        versionReply = Hex(root["version_reply_hex"], "version_reply_hex", 4096);
        // Without a firmware date the instrument's layout follows the date its own reply carries.
        if (!format && versionReply->size() >= 10) {
            std::string date(versionReply->end() - 10, versionReply->end());
            date.resize(std::min(date.size(), date.find('\0')));
            if (const auto replyFormat = FormatOfFirmwareDate(date)) format = std::max(*replyFormat, 0);
        }
    }
    if (root.contains("records_hex") && root.contains("generate"))
        Fail("records_hex and generate exclude each other");
    if (root.contains("generate")) {
        const Json &g = root["generate"];
        OnlyKeys(g, "generate", {"records", "format", "seed"});
        const int genFormat = g.contains("format")
                                  ? static_cast<int>(Integer(g["format"], "generate.format", 0, 2))
                                  : format.value_or(2);
        if (format && *format != genFormat && firmwareDate)
            Fail("generate.format " + std::to_string(genFormat) + " does not match firmware_date \"" +
                 *firmwareDate + "\", which selects format " + std::to_string(*format));
        format = genFormat;
        const auto count = g.contains("records") ? Integer(g["records"], "generate.records", 0,
                                                           static_cast<std::int64_t>(ArchiveSlots(genFormat)))
                                                 : 0;
        const auto seed = g.contains("seed") ? Integer(g["seed"], "generate.seed", 0, 0xFFFFFFFFLL) : 1;
        s.records =
            GenerateArchive(genFormat, static_cast<std::size_t>(count), static_cast<std::uint32_t>(seed));
    }
    if (root.contains("records_hex")) {
        const Json &list = root["records_hex"];
        if (!list.is_array()) Fail("records_hex must be a list of texts");
        for (std::size_t i = 0; i < list.size(); ++i)
            s.records.push_back(Hex(list[i], "records_hex[" + std::to_string(i) + "]", 4096));
        if (!format && !s.records.empty()) format = s.records.front().size() == kShortRecordBytes ? 0 : 2;
    }
    s.format = format.value_or(2);
    s.versionReply = versionReply ? *versionReply
                                  : BuildVersionReply(firmwareDate.value_or(DefaultFirmwareDate(s.format)));
    if (s.records.size() > ArchiveSlots(s.format))
        Fail("records_hex holds " + std::to_string(s.records.size()) + " records, format " +
             std::to_string(s.format) + " has " + std::to_string(ArchiveSlots(s.format)) + " archive slots");

    ParamCheck check = ParamCheck::Crc;
    if (root.contains("param_block_check"))
        check = Choice<ParamCheck>(
            root["param_block_check"], "param_block_check",
            {{"crc", ParamCheck::Crc}, {"aaaa", ParamCheck::NoChecksum}, {"bad", ParamCheck::Bad}});
    s.paramBlock = BuildParamBlock(s.format, s.records.size(), check);

    if (root.contains("screen_hex")) {
        s.screen = Hex(root["screen_hex"], "screen_hex", 4096);
    } else {
        if (!s.records.empty()) s.latest = DecodeLongRecord(s.records.back());
        s.liveScreen = true;
        s.screen = BuildScreenImage(s.latest);
    }
    if (root.contains("faults")) ParseFaults(root["faults"], s);
    if (root.contains("presence")) s.presence = ParsePresence(root["presence"]);
    for (std::uint32_t index : s.badCrcRecords)
        if (index < s.records.size()) SpoilRecordCheck(s.records[index]);
    if (root.contains("log")) {
        s.logPath = Text(root["log"], "log");
        if (s.logPath.empty()) Fail("log must name a file");
    }
    return s;
}

} // namespace

const char *CommandName(Command command) {
    switch (command) {
    case Command::Version:
        return "version";
    case Command::Param:
        return "param";
    case Command::Record:
        return "record";
    case Command::Clock:
        return "clock";
    case Command::Screen:
        return "screen";
    }
    return "?";
}

const char *StageName(Stage stage) {
    switch (stage) {
    case Stage::Write:
        return "write";
    case Stage::Length:
        return "length";
    case Stage::Data:
        return "data";
    }
    return "?";
}

Scenario DemoScenario(CalendarDay today) {
    Scenario s;
    s.format = 2;
    s.records = DemoArchive(today);
    s.versionReply = BuildVersionReply("07.11.2023");
    s.paramBlock = BuildParamBlock(s.format, s.records.size(), ParamCheck::Crc);
    s.latest = DecodeLongRecord(s.records.back());
    s.liveScreen = true;
    s.screen = BuildScreenImage(s.latest);
    return s;
}

std::variant<Scenario, std::string> ParseScenario(const std::string &text) {
    try {
        return Parse(text);
    } catch (const ScenarioFault &e) {
        return OneLine(e.what());
    } catch (const std::exception &e) {
        return OneLine(std::string("cannot be read: ") + e.what());
    }
}

} // namespace velda::sim
