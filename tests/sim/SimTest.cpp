// The simulated instrument driven through dlopen, as the program's USB binding drives it.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <dlfcn.h>
#include <unistd.h>
#include <usb.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

std::uint16_t BitwiseCrc16Arc(const std::uint8_t *data, std::size_t size) {
    std::uint16_t r = 0;
    for (std::size_t i = 0; i < size; ++i) {
        r ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            r = (r & 1) ? static_cast<std::uint16_t>((r >> 1) ^ 0xA001) : r >> 1;
    }
    return r;
}

bool BlockPasses(const Bytes &block) {
    const std::size_t n = block.size();
    return (block[n - 4] == 0xAA && block[n - 3] == 0xAA) || BitwiseCrc16Arc(block.data(), n) == 0;
}

std::size_t SetBits(const Bytes &block, std::size_t words) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < 4 * words; ++i)
        count += static_cast<std::size_t>(__builtin_popcount(block[i]));
    return count;
}

// The ten entry points, bound by name from the shared library the way the program binds libusb.
struct SimLibrary {
    void *handle = nullptr;
    void (*init)() = nullptr;
    int (*findBusses)() = nullptr;
    int (*findDevices)() = nullptr;
    usb_bus *(*getBusses)() = nullptr;
    usb_dev_handle *(*open)(struct usb_device *) = nullptr;
    int (*setConfiguration)(usb_dev_handle *, int) = nullptr;
    int (*claimInterface)(usb_dev_handle *, int) = nullptr;
    int (*bulkWrite)(usb_dev_handle *, int, const char *, int, int) = nullptr;
    int (*bulkRead)(usb_dev_handle *, int, char *, int, int) = nullptr;
    int (*close)(usb_dev_handle *) = nullptr;

    template <typename F>
    void bind(F &f, const char *name) {
        f = reinterpret_cast<F>(dlsym(handle, name));
        ASSERT_NE(f, nullptr) << name;
    }
};

SimLibrary &Sim() {
    static SimLibrary lib = [] {
        SimLibrary l;
        const std::string path = std::string(VELDA_BIN_DIR) + "/libvelda9-sim.so";
        l.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!l.handle) return l;
        l.bind(l.init, "usb_init");
        l.bind(l.findBusses, "usb_find_busses");
        l.bind(l.findDevices, "usb_find_devices");
        l.bind(l.getBusses, "usb_get_busses");
        l.bind(l.open, "usb_open");
        l.bind(l.setConfiguration, "usb_set_configuration");
        l.bind(l.claimInterface, "usb_claim_interface");
        l.bind(l.bulkWrite, "usb_bulk_write");
        l.bind(l.bulkRead, "usb_bulk_read");
        l.bind(l.close, "usb_close");
        return l;
    }();
    return lib;
}

class SimTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(Sim().handle, nullptr) << dlerror();
        m_dir = std::filesystem::temp_directory_path() /
                ("velda9-simtest-" + std::to_string(::getpid()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(m_dir);
    }
    void TearDown() override {
        closeDevice();
        ::unsetenv("VELDA9_SIM_SCENARIO");
        std::filesystem::remove_all(m_dir);
    }

    std::string logPath() const { return (m_dir / "log.jsonl").string(); }

    // Writes the scenario, points the variable at it and lets the library re-read it.
    void useScenario(const nlohmann::json &scenario) { useScenarioText(scenario.dump()); }
    void useScenarioText(const std::string &text) {
        const auto path = (m_dir / ("scenario" + std::to_string(m_scenarioCount++) + ".json")).string();
        std::ofstream(path) << text;
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
        m_scenarioPath = path;
        Sim().init();
    }

    struct usb_device *findInstrument() {
        (void)Sim().findBusses();
        (void)Sim().findDevices();
        for (usb_bus *bus = Sim().getBusses(); bus; bus = bus->next)
            for (struct usb_device *dev = bus->devices; dev; dev = dev->next)
                if (dev->descriptor.idVendor == 0x03EB && dev->descriptor.idProduct == 0x0203) return dev;
        return nullptr;
    }

    void openDevice() {
        struct usb_device *dev = findInstrument();
        ASSERT_NE(dev, nullptr);
        m_handle = Sim().open(dev);
        ASSERT_NE(m_handle, nullptr);
        ASSERT_EQ(Sim().setConfiguration(m_handle, 1), 0);
        ASSERT_EQ(Sim().claimInterface(m_handle, 0), 0);
    }
    void closeDevice() {
        if (m_handle) Sim().close(m_handle);
        m_handle = nullptr;
    }

    int write(const Bytes &bytes) {
        return Sim().bulkWrite(m_handle, 1, reinterpret_cast<const char *>(bytes.data()),
                               static_cast<int>(bytes.size()), 500);
    }
    int read(Bytes &buffer, int size) {
        buffer.assign(static_cast<std::size_t>(size), 0);
        const int got = Sim().bulkRead(m_handle, 0x82, reinterpret_cast<char *>(buffer.data()), size, 500);
        if (got >= 0) buffer.resize(static_cast<std::size_t>(got));
        return got;
    }

    // The framed reply: 4-byte length, then min(length, cap) bytes. Empty on a failed read.
    std::optional<Bytes> reply(const Bytes &command, std::size_t cap) {
        if (write(command) != static_cast<int>(command.size())) return std::nullopt;
        Bytes length;
        if (read(length, 4) != 4) return std::nullopt;
        const std::uint32_t declared =
            length[0] | (length[1] << 8) | (length[2] << 16) | (static_cast<std::uint32_t>(length[3]) << 24);
        Bytes data;
        if (read(data, static_cast<int>(std::min<std::size_t>(declared, cap))) < 0) return std::nullopt;
        return data;
    }
    static Bytes recordCommand(std::uint16_t index) {
        return {0x03, 0xFC, static_cast<std::uint8_t>(index & 0xFF), static_cast<std::uint8_t>(index >> 8)};
    }

    std::vector<nlohmann::json> logLines() const {
        std::vector<nlohmann::json> lines;
        std::ifstream in(logPath());
        for (std::string line; std::getline(in, line);)
            lines.push_back(nlohmann::json::parse(line));
        return lines;
    }

    std::filesystem::path m_dir;
    std::string m_scenarioPath;
    int m_scenarioCount = 0;
    usb_dev_handle *m_handle = nullptr;
};

const Bytes kVersion{0x01, 0xFE};
const Bytes kParams{0x02, 0xFD};
const Bytes kClock{0x07, 0xF8};
const Bytes kScreen{0x08, 0xF7};

TEST(SimCrcTest, CheckValueOfReferenceImplementation) {
    const std::string digits = "123456789";
    EXPECT_EQ(BitwiseCrc16Arc(reinterpret_cast<const std::uint8_t *>(digits.data()), digits.size()), 0xBB3D);
}

TEST_F(SimTest, DemoArchiveIsAPlausibleFormat2DownloadWithValidChecks) {
    ::unsetenv("VELDA9_SIM_SCENARIO");
    Sim().init();
    openDevice();

    const auto version = reply(kVersion, 32);
    ASSERT_TRUE(version);
    ASSERT_GE(version->size(), 10u);
    const std::string date(version->end() - 10, version->end());
    const int day = std::stoi(date.substr(0, 2)), month = std::stoi(date.substr(3, 2)),
              year = std::stoi(date.substr(6, 4));
    EXPECT_GE(day + 30 * month + 365 * year, 11 + 30 * 4 + 365 * 2017) << date;

    const auto block = reply(kParams, 11096);
    ASSERT_TRUE(block);
    ASSERT_EQ(block->size(), 11096u);
    EXPECT_TRUE(BlockPasses(*block));
    const std::size_t count = SetBits(*block, 84);
    EXPECT_GE(count, 200u);
    EXPECT_LE(count, 600u);

    int seriesRecords = 0;
    long previousStamp = -1;
    for (std::size_t i = 0; i < count; ++i) {
        SCOPED_TRACE(i);
        const auto record = reply(recordCommand(static_cast<std::uint16_t>(i)), 44);
        ASSERT_TRUE(record);
        ASSERT_EQ(record->size(), 44u);
        EXPECT_EQ(BitwiseCrc16Arc(record->data(), 44), 0);
        EXPECT_EQ((*record)[0], 2);  // both channels
        EXPECT_EQ((*record)[38], 6); // temperature and humidity probe
        EXPECT_EQ((*record)[39], 1); // thermocouple
        if ((*record)[2] != 0xFF || (*record)[3] != 0) ++seriesRecords;
        float t1 = 0, h1 = 0;
        std::memcpy(&h1, record->data() + 8, 4);
        std::memcpy(&t1, record->data() + 24, 4);
        EXPECT_GT(t1, 10.0f);
        EXPECT_LT(t1, 35.0f);
        EXPECT_GT(h1, 0.0f);
        EXPECT_LT(h1, 100.0f);
        const auto &r = *record;
        const long stamp = ((((r[37] * 13L + r[36]) * 32 + r[35]) * 24 + r[34]) * 60 + r[33]) * 60 + r[32];
        EXPECT_GT(stamp, previousStamp) << "records run forward in time";
        previousStamp = stamp;
    }
    EXPECT_GT(seriesRecords, 0);
}

TEST_F(SimTest, RepliesAreFramedAndEveryReadIsCapped) {
    useScenario({{"firmware_date", "13.03.2018"}, {"records_hex", {std::string(88, 'a')}}});
    openDevice();
    ASSERT_EQ(write(kVersion), 2);
    Bytes buffer;
    EXPECT_EQ(read(buffer, 2), 2) << "a read never returns more than asked";
    EXPECT_EQ(read(buffer, 32), 24) << "the data transfer follows the length transfer";
    EXPECT_EQ(std::string(buffer.end() - 10, buffer.end()), "13.03.2018");
    EXPECT_LT(read(buffer, 4), 0) << "nothing pending: the read fails at once";

    ASSERT_EQ(write(recordCommand(0)), 4);
    ASSERT_EQ(read(buffer, 4), 4);
    EXPECT_EQ(buffer, (Bytes{44, 0, 0, 0}));
    EXPECT_EQ(read(buffer, 36), 36);
    EXPECT_EQ(buffer, Bytes(36, 0xAA));

    ASSERT_EQ(write(recordCommand(7)), 4) << "an index past the archive reads erased memory";
    ASSERT_EQ(read(buffer, 4), 4);
    EXPECT_EQ(read(buffer, 44), 44);
    EXPECT_EQ(buffer, Bytes(44, 0xFF));

    EXPECT_EQ(Sim().bulkWrite(m_handle, 2, "\x01\xFE", 2, 500), -EINVAL) << "wrong endpoint";
    EXPECT_EQ(Sim().bulkRead(nullptr, 0x82, reinterpret_cast<char *>(buffer.data()), 4, 500), -ENODEV);
}

TEST_F(SimTest, MalformedRepliesAndARemovedInstrumentReachTheTransportAsABrokenDeviceSendsThem) {
    struct Case {
        const char *name;
        nlohmann::json faults;
        int lengthRead;    // result of the 4-byte length read of the version reply
        Bytes lengthField; // its bytes
        int dataRead;      // result of a 64-byte read that follows
    };
    const std::vector<Case> cases = {
        {"oversize",
         {{"malformed", {{{"command", "version"}, {"reply", "oversize"}}}}},
         4,
         {40, 0, 0, 0},
         40},
        {"short", {{"malformed", {{{"command", "version"}, {"reply", "short"}}}}}, 4, {12, 0, 0, 0}, 12},
        {"zero-length packets",
         {{"malformed", {{{"command", "version"}, {"reply", "zero_length"}}}}},
         0,
         {},
         0},
        {"length 0xFFFFFFFF",
         {{"malformed", {{{"command", "version"}, {"reply", "length_ffffffff"}}}}},
         4,
         {0xFF, 0xFF, 0xFF, 0xFF},
         24},
        {"another record's rule",
         {{"malformed", {{{"command", "record"}, {"reply", "zero_length"}}}}},
         4,
         {24, 0, 0, 0},
         24},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        useScenario({{"firmware_date", "13.03.2018"}, {"faults", c.faults}});
        openDevice();
        ASSERT_EQ(write(kVersion), 2);
        Bytes buffer;
        EXPECT_EQ(read(buffer, 4), c.lengthRead);
        EXPECT_EQ(buffer, c.lengthField);
        EXPECT_EQ(read(buffer, 64), c.dataRead);
        closeDevice();
    }

    useScenario({{"generate", {{"records", 3}, {"format", 2}}}, {"faults", {{"removed_at_record", 1}}}});
    openDevice();
    ASSERT_TRUE(reply(recordCommand(0), 44));
    EXPECT_EQ(write(recordCommand(1)), -ENODEV) << "pulled out when record 1 is asked for";
    Bytes buffer;
    EXPECT_EQ(read(buffer, 4), -ENODEV);
    EXPECT_EQ(findInstrument(), nullptr);
}

TEST_F(SimTest, ParameterBlockAndRecordsFollowTheScenario) {
    struct Case {
        const char *name;
        nlohmann::json scenario;
        std::size_t blockSize;
        std::size_t words;
        std::size_t records;
        bool blockPasses;
        bool markedUnchecked;
    };
    const std::vector<Case> cases = {
        {"format 0 by date",
         {{"firmware_date", "01.06.2015"}, {"generate", {{"records", 30}}}},
         6608,
         50,
         30,
         true,
         false},
        {"format 1 by date",
         {{"firmware_date", "12.12.2016"}, {"generate", {{"records", 5}, {"seed", 3}}}},
         11096,
         84,
         5,
         true,
         false},
        {"full format 2",
         {{"generate", {{"records", 2688}, {"format", 2}, {"seed", 7}}}},
         11096,
         84,
         2688,
         true,
         false},
        {"no checksum",
         {{"generate", {{"records", 3}, {"format", 2}}}, {"param_block_check", "aaaa"}},
         11096,
         84,
         3,
         true,
         true},
        {"bad checksum",
         {{"generate", {{"records", 3}, {"format", 1}}}, {"param_block_check", "bad"}},
         11096,
         84,
         3,
         false,
         false},
        {"format 0 by the date in the version reply",
         {{"version_reply_hex", "56454c44412030312e30362e32303135"}, {"records_hex", {std::string(72, '1')}}},
         6608,
         50,
         1,
         true,
         false},
        {"empty archive",
         {{"firmware_date", "13.03.2018"}, {"records_hex", nlohmann::json::array()}},
         11096,
         84,
         0,
         true,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        useScenario(c.scenario);
        openDevice();
        const auto block = reply(kParams, 11096);
        ASSERT_TRUE(block);
        ASSERT_EQ(block->size(), c.blockSize);
        EXPECT_EQ(BlockPasses(*block), c.blockPasses);
        EXPECT_EQ((*block)[c.blockSize - 4] == 0xAA && (*block)[c.blockSize - 3] == 0xAA, c.markedUnchecked);
        EXPECT_EQ(SetBits(*block, c.words), c.records);
        const std::size_t recordSize = c.blockSize == 6608 ? 36 : 44;
        for (std::size_t i : {std::size_t{0}, c.records / 2, c.records - 1}) {
            if (c.records == 0) break;
            const auto record = reply(recordCommand(static_cast<std::uint16_t>(i)), 44);
            ASSERT_TRUE(record);
            ASSERT_EQ(record->size(), recordSize);
            if (recordSize == 44) {
                EXPECT_TRUE(BlockPasses(*record)) << "record " << i;
            }
        }
        closeDevice();
    }
}

TEST_F(SimTest, InjectedFaultsFailTheNamedStageTheNamedNumberOfTimes) {
    useScenario({{"generate", {{"records", 10}, {"format", 2}}},
                 {"faults",
                  {{"fail",
                    {{{"command", "param"}, {"stage", "length"}, {"times", 2}},
                     {{"command", "record"}, {"index", 5}, {"stage", "data"}},
                     {{"command", "version"}, {"stage", "write"}}}},
                   {"bad_crc_records", {3}}}},
                 {"log", logPath()}});
    openDevice();

    EXPECT_LT(write(kVersion), 0);
    EXPECT_EQ(errno, ETIMEDOUT);
    EXPECT_TRUE(reply(kVersion, 32)) << "the write fault fires once";

    EXPECT_FALSE(reply(kParams, 11096));
    EXPECT_FALSE(reply(kParams, 11096));
    EXPECT_TRUE(reply(kParams, 11096)) << "times 2, then the block arrives";

    for (std::uint16_t i = 0; i < 10; ++i) {
        SCOPED_TRACE(i);
        const auto record = reply(recordCommand(i), 44);
        if (i == 5) {
            EXPECT_FALSE(record);
            continue;
        }
        ASSERT_TRUE(record);
        EXPECT_EQ(BlockPasses(*record), i != 3);
    }
    EXPECT_TRUE(reply(recordCommand(5), 44)) << "the record fault fires once";

    const auto lines = logLines();
    int faults = 0;
    for (const auto &line : lines)
        faults += line.contains("fault") ? 1 : 0;
    EXPECT_EQ(faults, 4);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.front(), (nlohmann::json{{"command", "version"}, {"fault", "write"}, {"seq", 0}}));
}

TEST_F(SimTest, ClockPayloadFaultKeepsTheOldClockAndAnyIndexRuleHitsEveryRecord) {
    useScenario({{"generate", {{"records", 4}, {"format", 2}}},
                 {"faults",
                  {{"fail",
                    {{{"command", "clock"}, {"stage", "data"}},
                     {{"command", "record"}, {"stage", "length"}, {"times", -1}}}}}},
                 {"log", logPath()}});
    openDevice();
    const auto before = reply(kScreen, 1024);
    ASSERT_EQ(write(kClock), 2);
    EXPECT_EQ(write({0x09, 0x05, 0x0E, 0x0D, 0x03, 0x13}), -ETIMEDOUT);
    EXPECT_EQ(reply(kScreen, 1024), before) << "a payload that failed does not set the clock";
    ASSERT_EQ(write(kClock), 2) << "the command is taken again after a failed payload";
    EXPECT_EQ(write({0x09, 0x05, 0x0E, 0x0D, 0x03, 0x13}), 6);
    EXPECT_NE(reply(kScreen, 1024), before);
    for (std::uint16_t i = 0; i < 4; ++i)
        EXPECT_FALSE(reply(recordCommand(i), 44)) << "record " << i;
    EXPECT_TRUE(reply(kParams, 11096)) << "other commands are not hit";

    std::vector<std::string> summary;
    for (const auto &line : logLines())
        summary.push_back(line["command"].get<std::string>() + (line.contains("fault") ? " !" : "") +
                          (line.contains("payload") ? " payload" : ""));
    const std::vector<std::string> expected{
        "screen",   "clock",  "clock !",  "screen", "clock",    "clock payload", "screen",   "record",
        "record !", "record", "record !", "record", "record !", "record",        "record !", "param"};
    EXPECT_EQ(summary, expected);
}

TEST_F(SimTest, OpenErrorsRefuseTheDeviceLikeTheSystemLibraryDoes) {
    useScenario({{"faults", {{"open_error", "EACCES"}}}});
    struct usb_device *dev = findInstrument();
    ASSERT_NE(dev, nullptr) << "the instrument is on the bus";
    errno = 0;
    EXPECT_EQ(Sim().open(dev), nullptr);
    EXPECT_EQ(errno, EACCES);

    useScenario({{"faults", {{"open_error", "EBUSY"}}}});
    dev = findInstrument();
    ASSERT_NE(dev, nullptr);
    m_handle = Sim().open(dev);
    ASSERT_NE(m_handle, nullptr);
    EXPECT_EQ(Sim().claimInterface(m_handle, 0), -EBUSY);
    EXPECT_EQ(write(kVersion), -EBUSY);
}

TEST_F(SimTest, AbsentInstrumentIsNotOnTheBus) {
    useScenario({{"faults", {{"absent_ms", 3600000}}}});
    EXPECT_EQ(findInstrument(), nullptr);
    useScenario({{"faults", {{"absent_ms", 0}}}});
    EXPECT_NE(findInstrument(), nullptr);
    // Missing from the first two scans, present from the third on, however long they take.
    useScenario({{"faults", {{"absent_scans", 2}}}});
    EXPECT_EQ(findInstrument(), nullptr);
    EXPECT_EQ(findInstrument(), nullptr);
    EXPECT_NE(findInstrument(), nullptr);
    EXPECT_NE(findInstrument(), nullptr);
}

TEST_F(SimTest, MalformedScenarioIsReportedAndLeavesNoInstrument) {
    struct Case {
        const char *name;
        std::string text;
        const char *expected;
    };
    const std::vector<Case> cases = {
        {"not JSON", "{\"firmware_date\": ", "not valid JSON"},
        {"unknown key", R"({"recods_hex": []})", "unknown key \"recods_hex\""},
        {"odd hex", R"({"records_hex": ["abc"]})", "records_hex[0] has an odd number"},
        {"bad digit", R"({"screen_hex": "zz"})", "screen_hex holds 'z'"},
        {"date", R"({"firmware_date": "2018-03-13"})", "is not a date DD.MM.YYYY"},
        {"too many records", R"({"generate": {"records": 3000, "format": 2}})", "generate.records is 3000"},
        {"stage", R"({"faults": {"fail": [{"command": "clock", "stage": "length"}]}})", "has no reply"},
        {"type", R"({"faults": {"absent_ms": "soon"}})", "faults.absent_ms must be a whole number"},
        {"choice", R"({"param_block_check": "sum"})", "allowed are crc, aaaa, bad"},
        {"malformed kind", R"({"faults": {"malformed": [{"command": "record", "reply": "long"}]}})",
         "allowed are oversize, short, zero_length, length_ffffffff"},
        {"malformed clock", R"({"faults": {"malformed": [{"command": "clock", "reply": "short"}]}})",
         "has no reply"},
        // Control characters of the file's own texts are shown escaped, so the message stays one line.
        {"line break in a key", R"({"generate": {"r\n2": 0}})", R"(unknown key "r\n2" in generate)"},
        {"line break in a value", R"({"firmware_date": "1.\r\n.2"})", R"(firmware_date "1.\r\n.2" is not)"},
        {"control character as a digit", R"({"screen_hex": "0\u0001"})", R"(screen_hex holds '\x01')"},
        {"presence key", R"({"presence": {"leave_after_scan": 2}})",
         "unknown key \"leave_after_scan\" in presence"},
        {"presence count", R"({"presence": {"leave_after_scans": 0}})", "presence.leave_after_scans is 0"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ::testing::internal::CaptureStderr();
        useScenarioText(c.text);
        const std::string message = ::testing::internal::GetCapturedStderr();
        EXPECT_NE(message.find(m_scenarioPath), std::string::npos) << message;
        EXPECT_NE(message.find(c.expected), std::string::npos) << message;
        EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1) << message;
        EXPECT_EQ(findInstrument(), nullptr);
    }
}

TEST_F(SimTest, LogRecordsCommandsIndicesAndTheClockPayload) {
    useScenario({{"generate", {{"records", 2}, {"format", 2}}}, {"log", logPath()}});
    openDevice();
    ASSERT_TRUE(reply(kVersion, 32));
    ASSERT_TRUE(reply(recordCommand(1), 44));
    ASSERT_EQ(write(kClock), 2);
    ASSERT_EQ(write({0x09, 0x05, 0x0E, 0x0D, 0x03, 0x12}), 6);
    const auto screen = reply(kScreen, 1024);
    ASSERT_TRUE(screen);
    EXPECT_EQ(screen->size(), 1024u);
    EXPECT_EQ((*screen)[0], 0xFF) << "the default screen has a frame";

    const auto lines = logLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0]["command"], "version");
    EXPECT_EQ(lines[1]["command"], "record");
    EXPECT_EQ(lines[1]["index"], 1);
    EXPECT_EQ(lines[2]["command"], "clock");
    EXPECT_FALSE(lines[2].contains("payload"));
    EXPECT_EQ(lines[3]["command"], "clock");
    EXPECT_EQ(lines[3]["payload"], (std::vector<int>{9, 5, 14, 13, 3, 18}));
    EXPECT_EQ(lines[3]["payload_hex"], "09050e0d0312");
    EXPECT_EQ(lines[4]["command"], "screen");
    for (std::size_t i = 0; i < lines.size(); ++i)
        EXPECT_EQ(lines[i]["seq"], i);
}

TEST_F(SimTest, DisplayShowsTheClockOnceItIsSet) {
    useScenario({{"generate", {{"records", 3}, {"format", 2}}}});
    openDevice();
    const auto before = reply(kScreen, 1024);
    ASSERT_TRUE(before);
    EXPECT_EQ(reply(kScreen, 1024), before) << "the same display twice";
    ASSERT_EQ(write(kClock), 2);
    ASSERT_EQ(write({0x09, 0x05, 0x0E, 0x0D, 0x03, 0x13}), 6);
    const auto after = reply(kScreen, 1024);
    ASSERT_TRUE(after);
    ASSERT_EQ(after->size(), 1024u);
    // Bands 0 and 1 hold the time, bands 6 and 7 the date; the readings between stay as they were.
    auto band = [](const Bytes &screen, int b) {
        return Bytes(screen.begin() + 128 * b, screen.begin() + 128 * (b + 1));
    };
    EXPECT_NE(band(*after, 0), band(*before, 0));
    EXPECT_NE(band(*after, 6), band(*before, 6));
    for (int b = 2; b < 6; ++b)
        EXPECT_EQ(band(*after, b), band(*before, b)) << "band " << b;
}

TEST_F(SimTest, ScenarioChangeIsNoticedWithoutReinitialising) {
    useScenario({{"screen_hex", std::string(2048, '0')}});
    openDevice();
    auto screen = reply(kScreen, 1024);
    ASSERT_TRUE(screen);
    EXPECT_EQ(*screen, Bytes(1024, 0));
    closeDevice();

    const auto path = (m_dir / "other.json").string();
    std::ofstream(path) << R"({"screen_hex": "0102"})";
    ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
    openDevice();
    screen = reply(kScreen, 1024);
    ASSERT_TRUE(screen);
    EXPECT_EQ(*screen, (Bytes{1, 2}));
}

// One thread transfers while another switches scenarios: the library serialises both (run under TSan).
TEST_F(SimTest, TransfersAndScenarioSwitchesFromTwoThreads) {
    useScenario({{"generate", {{"records", 4}, {"format", 2}}}});
    openDevice();
    std::atomic<bool> stop{false};
    std::thread worker([&] {
        Bytes buffer(64);
        while (!stop.load()) {
            const Bytes cmd = recordCommand(1);
            (void)Sim().bulkWrite(m_handle, 1, reinterpret_cast<const char *>(cmd.data()), 4, 500);
            (void)Sim().bulkRead(m_handle, 0x82, reinterpret_cast<char *>(buffer.data()), 4, 500);
            (void)Sim().bulkRead(m_handle, 0x82, reinterpret_cast<char *>(buffer.data()), 44, 500);
        }
    });
    for (int i = 0; i < 20; ++i)
        useScenario({{"generate", {{"records", 4 + i}, {"format", 2}}}});
    stop = true;
    worker.join();
    EXPECT_TRUE(reply(recordCommand(0), 44));
}

} // namespace
