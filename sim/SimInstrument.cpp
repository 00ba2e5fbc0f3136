// The simulated instrument's command handling, replies, faults and log, shared by its transports.
#include "SimInstrument.h"

#include <nlohmann/json.hpp>

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

namespace velda::sim {
namespace {

using Json = nlohmann::json;

constexpr std::size_t kClockPayloadBytes = 6;
// What an oversized reply sends beyond the data its command has.
constexpr std::size_t kOversizeExtraBytes = 16;

// Identifies the scenario file as it is now, so a changed file or path is noticed.
std::string ScenarioKey(const char *path) {
    if (!path || !*path) return {};
    struct stat info {};
    std::string key = path;
    if (::stat(path, &info) == 0)
        key += "|" + std::to_string(info.st_size) + "|" + std::to_string(info.st_mtim.tv_sec) + "." +
               std::to_string(info.st_mtim.tv_nsec);
    return key;
}

CalendarDay Today() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday};
}

std::string HexText(const Bytes &bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t b : bytes) {
        text.push_back(digits[b >> 4]);
        text.push_back(digits[b & 0x0F]);
    }
    return text;
}

std::optional<Command> Decode(const Bytes &message) {
    if (message.size() < 2 || message[0] + message[1] != 0xFF) return std::nullopt;
    switch (message[0]) {
    case 0x01:
        return message.size() == 2 ? std::optional(Command::Version) : std::nullopt;
    case 0x02:
        return message.size() == 2 ? std::optional(Command::Param) : std::nullopt;
    case 0x03:
        return message.size() == 4 ? std::optional(Command::Record) : std::nullopt;
    case 0x07:
        return message.size() == 2 ? std::optional(Command::Clock) : std::nullopt;
    case 0x08:
        return message.size() == 2 ? std::optional(Command::Screen) : std::nullopt;
    default:
        return std::nullopt;
    }
}

Json Entry(Command command, std::optional<std::uint32_t> index, const char *fault) {
    Json line{{"command", CommandName(command)}};
    if (index) line["index"] = *index;
    if (fault) line["fault"] = fault;
    return line;
}

Bytes LengthField(std::uint32_t length) {
    return Bytes{static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8),
                 static_cast<std::uint8_t>(length >> 16), static_cast<std::uint8_t>(length >> 24)};
}

} // namespace

bool SimInstrument::ensureLoaded(const char *scenarioPath) {
    std::lock_guard lock(m_mutex);
    if (m_loaded && ScenarioKey(scenarioPath) == m_key) return false;
    load(scenarioPath);
    return true;
}

void SimInstrument::reload(const char *scenarioPath) {
    std::lock_guard lock(m_mutex);
    load(scenarioPath);
}

bool SimInstrument::present() {
    std::lock_guard lock(m_mutex);
    return presentLocked();
}

bool SimInstrument::scan() {
    std::lock_guard lock(m_mutex);
    presenceScan();
    const bool listed = presentLocked();
    if (m_absentScansLeft > 0) --m_absentScansLeft;
    return listed;
}

std::int64_t SimInstrument::arrivals() {
    std::lock_guard lock(m_mutex);
    return m_arrivals;
}

OpenError SimInstrument::openError() {
    std::lock_guard lock(m_mutex);
    return m_scenario.openError;
}

int SimInstrument::write(const std::uint8_t *bytes, std::size_t size) {
    std::lock_guard lock(m_mutex);
    if (!presentLocked()) return -ENODEV;
    const Bytes message(bytes, bytes + size);

    if (m_awaitingClockPayload && message.size() == kClockPayloadBytes) {
        m_awaitingClockPayload = false;
        if (takeFault(Command::Clock, std::nullopt, Stage::Data)) {
            log({{"command", "clock"}, {"fault", "data"}});
            return -ETIMEDOUT;
        }
        m_clockPayload = message;
        m_clockSetAt = Clock::now();
        log({{"command", "clock"}, {"payload", message}, {"payload_hex", HexText(message)}});
        return static_cast<int>(size);
    }
    m_awaitingClockPayload = false;
    m_reply.clear();

    const auto command = Decode(message);
    if (!command) {
        log({{"command", "unknown"}, {"bytes_hex", HexText(message)}});
        return static_cast<int>(size); // ignored: the reply read times out
    }
    std::optional<std::uint32_t> index;
    if (*command == Command::Record) index = static_cast<std::uint32_t>(message[2] | (message[3] << 8));
    if (index && m_scenario.removedAtRecord == *index) {
        m_removed = true;
        log(Entry(*command, index, "removed"));
        return -ENODEV;
    }
    if (takeFault(*command, index, Stage::Write)) {
        log(Entry(*command, index, "write"));
        return -ETIMEDOUT;
    }
    log(Entry(*command, index, nullptr));
    m_replyCommand = *command;
    m_replyIndex = index;
    switch (*command) {
    case Command::Version:
        queueReply(*command, index, m_scenario.versionReply);
        break;
    case Command::Param:
        queueReply(*command, index, m_scenario.paramBlock);
        break;
    case Command::Record:
        queueReply(*command, index, record(*index));
        break;
    case Command::Screen:
        queueReply(*command, index, screen());
        break;
    case Command::Clock:
        m_awaitingClockPayload = true;
        break;
    }
    return static_cast<int>(size);
}

SimInstrument::Transfer SimInstrument::read(std::uint8_t *buffer, std::size_t capacity) {
    std::lock_guard lock(m_mutex);
    if (!presentLocked()) return {ENODEV, 0, false};
    if (m_reply.empty()) return {ETIMEDOUT, 0, false};
    const Stage stage = m_reply.size() == 2 ? Stage::Length : Stage::Data;
    if (takeFault(m_replyCommand, m_replyIndex, stage)) {
        log(Entry(m_replyCommand, m_replyIndex, StageName(stage)));
        m_reply.clear();
        return {ETIMEDOUT, 0, false};
    }
    Bytes chunk = std::move(m_reply.front());
    m_reply.pop_front();
    // A record read out to its end counts towards the stay's records; the last one allowed takes the
    // instrument off the bus after this transfer.
    if (m_reply.empty() && m_replyCommand == Command::Record && m_scenario.presence &&
        m_scenario.presence->leaveAfterRecords && ++m_stayRecords >= *m_scenario.presence->leaveAfterRecords)
        depart();
    Transfer done;
    done.count = std::min(chunk.size(), capacity);
    done.overflow = chunk.size() > capacity;
    if (done.count > 0) std::memcpy(buffer, chunk.data(), done.count);
    return done;
}

bool SimInstrument::presentLocked() const {
    if (!m_valid || m_removed || m_absentScansLeft > 0) return false;
    if (m_scenario.presence && !m_staying) return false;
    return Clock::now() - m_epoch >= std::chrono::milliseconds(m_scenario.absentMs);
}

// Arrivals and departures happen at scans: a stay's K-th scan after the arriving one lists it no longer,
// and an absence lasts the arrival scans before the next stay begins.
void SimInstrument::presenceScan() {
    if (!m_valid || !m_scenario.presence) return;
    const Presence &presence = *m_scenario.presence;
    if (m_staying) {
        ++m_stayScans;
        if (presence.leaveAfterScans && m_stayScans >= *presence.leaveAfterScans) depart();
        return;
    }
    if (m_staysLeft == 0) return;
    if (m_arrivalScansLeft > 0) {
        --m_arrivalScansLeft;
        return;
    }
    m_staying = true;
    ++m_arrivals;
    m_stayScans = 0;
    m_stayRecords = 0;
    if (m_staysLeft) --*m_staysLeft;
}

// Off the bus: what was under way is lost, as with a pulled cable.
void SimInstrument::depart() {
    m_staying = false;
    m_arrivalScansLeft = m_scenario.presence ? m_scenario.presence->arriveAfterScans : 0;
    m_reply.clear();
    m_awaitingClockPayload = false;
}

bool SimInstrument::takeFault(Command command, std::optional<std::uint32_t> index, Stage stage) {
    for (FailRule &rule : m_scenario.fails) {
        if (rule.command != command || rule.stage != stage || rule.timesLeft == 0) continue;
        if (rule.index && rule.index != index) continue;
        if (rule.timesLeft > 0) --rule.timesLeft;
        return true;
    }
    return false;
}

// The length chunk, then the data chunk, each one packet; a malformed rule of the scenario bends them
// the way a broken or hostile device would.
void SimInstrument::queueReply(Command command, std::optional<std::uint32_t> index, const Bytes &data) {
    Bytes length = LengthField(static_cast<std::uint32_t>(data.size()));
    Bytes body = data;
    for (const MalformedRule &rule : m_scenario.malformed) {
        if (rule.command != command || (rule.index && rule.index != index)) continue;
        switch (rule.kind) {
        case Malformation::Oversize:
            body.insert(body.end(), kOversizeExtraBytes, 0x55);
            length = LengthField(static_cast<std::uint32_t>(body.size()));
            break;
        case Malformation::Short:
            body.resize(body.size() / 2);
            length = LengthField(static_cast<std::uint32_t>(body.size()));
            break;
        case Malformation::ZeroLength:
            length.clear();
            body.clear();
            break;
        case Malformation::LengthAllOnes:
            length = LengthField(0xFFFFFFFFU);
            break;
        }
        break;
    }
    m_reply.push_back(std::move(length));
    m_reply.push_back(std::move(body));
}

Bytes SimInstrument::record(std::uint32_t index) const {
    if (index < m_scenario.records.size()) return m_scenario.records[index];
    // An index past the archive reads erased memory.
    return Bytes(RecordBytes(m_scenario.format), 0xFF);
}

// The display shows the clock as last set, running on from then.
Bytes SimInstrument::screen() const {
    if (!m_scenario.liveScreen || m_clockPayload.empty()) return m_scenario.screen;
    const auto elapsed = std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - m_clockSetAt);
    return BuildScreenImage(m_scenario.latest, ClockAfter(m_clockPayload, elapsed.count()));
}

void SimInstrument::load(const char *scenarioPath) {
    m_loaded = true;
    m_key = ScenarioKey(scenarioPath);
    m_epoch = Clock::now();
    m_removed = false;
    m_reply.clear();
    m_awaitingClockPayload = false;
    m_clockPayload.clear();
    m_logFailed = false;
    m_logSeq = 0;
    m_absentScansLeft = 0;
    m_arrivals = 0;
    if (!scenarioPath || !*scenarioPath) {
        m_scenario = DemoScenario(Today());
        m_valid = true;
        return;
    }
    m_valid = false;
    m_scenario = Scenario{};
    std::ifstream file(scenarioPath, std::ios::binary);
    std::ostringstream text;
    if (file) text << file.rdbuf();
    if (!file || file.bad()) {
        std::fprintf(stderr, "velda9-sim: scenario %s cannot be read: %s\n", scenarioPath,
                     std::strerror(errno));
        return;
    }
    auto parsed = ParseScenario(text.str());
    if (auto *error = std::get_if<std::string>(&parsed)) {
        std::fprintf(stderr, "velda9-sim: scenario %s: %s; the instrument stays off the bus\n", scenarioPath,
                     error->c_str());
        return;
    }
    m_scenario = std::move(std::get<Scenario>(parsed));
    m_absentScansLeft = m_scenario.absentScans;
    m_staysLeft = m_scenario.presence ? m_scenario.presence->stays : std::nullopt;
    depart();
    m_valid = true;
}

void SimInstrument::log(Json line) {
    if (m_scenario.logPath.empty()) return;
    line["seq"] = m_logSeq++;
    std::FILE *file = std::fopen(m_scenario.logPath.c_str(), "a");
    if (!file) {
        if (!m_logFailed)
            std::fprintf(stderr, "velda9-sim: log %s cannot be written: %s\n", m_scenario.logPath.c_str(),
                         std::strerror(errno));
        m_logFailed = true;
        return;
    }
    const std::string text = line.dump() + "\n";
    std::fwrite(text.data(), 1, text.size(), file);
    std::fclose(file);
}

} // namespace velda::sim
