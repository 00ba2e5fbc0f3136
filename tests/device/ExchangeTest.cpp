// The exchange thread against the simulated instrument, loaded through the real dlopen path.
#include "device/Exchange.h"

#include "ExchangeTestSupport.h"
#include "base/Texts.h"
#include "device/LibUsbBinding.h"
#include "device/Protocol.h"
#include "device/SharedState.h"
#include "device/ShowStatus.h"
#include "device/ThreadPriority.h"

#include <gtest/gtest.h>

#include "QtPrinters.h"

#include <QDate>
#include <QTemporaryDir>
#include <QTime>

#include <nlohmann/json.hpp>

#include <grp.h>
#include <sched.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

using namespace velda;
using velda::test::Hex;
using Json = nlohmann::json;

namespace {

// Record i of a test archive: recognisable bytes, 44-byte records sealed with their CRC.
std::vector<std::uint8_t> TestRecord(std::size_t size, std::uint32_t index) {
    std::vector<std::uint8_t> record(size);
    for (std::size_t b = 0; b < size; ++b)
        record[b] = static_cast<std::uint8_t>(index * 31 + b * 5 + 1);
    if (size == kLongRecordSize) {
        const std::uint16_t crc = Crc16(record.data(), 40);
        record[40] = static_cast<std::uint8_t>(crc & 0xFF);
        record[41] = static_cast<std::uint8_t>(crc >> 8);
        record[42] = 0;
        record[43] = 0;
    }
    return record;
}

struct Message {
    QString text;
    QString caption;
    MessageIcon icon;
};

// Runs hand-over calls inline on the exchange thread and answers message boxes at once.
class TestUi : public ExchangeUi {
public:
    void runBlocking(const std::function<void()> &call) override {
        ++m_displays;
        if (onDisplay) onDisplay(m_displays);
        call();
    }
    void showMessage(const QString &text, const QString &caption, MessageIcon icon) override {
        std::lock_guard lock(m_mutex);
        m_messages.push_back({text, caption, icon});
    }
    std::vector<Message> messages() {
        std::lock_guard lock(m_mutex);
        return m_messages;
    }
    std::function<void(int)> onDisplay;

private:
    std::mutex m_mutex;
    std::vector<Message> m_messages;
    int m_displays = 0;
};

// Status display targets that remember everything they were shown (GUI side: here the exchange thread).
struct Controls : Gauge, Dialog, StatusLabel {
    std::vector<int> values;
    std::vector<QString> labels;
    std::vector<QString> captions;
    bool gaugeHidden = false;
    int closed = 0;
    void setGaugeValue(int percent) override { values.push_back(percent); }
    void hideGauge() override { gaugeHidden = true; }
    void setPhaseCaption(const QString &caption) override { captions.push_back(caption); }
    void closeDialog() override { ++closed; }
    void setStatusText(const QString &text) override { labels.push_back(text); }
    bool sawLabel(const QString &text) const {
        return std::find(labels.begin(), labels.end(), text) != labels.end();
    }
};

struct HandedOver {
    std::uint32_t recordCount;
    std::uint8_t archiveFormat;
    std::size_t recordSize;
    std::vector<std::uint8_t> records;
};

class ExchangeTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { LibUSB.useSimulator(true); }
    static void TearDownTestSuite() { ShutdownDeviceLink(); }

    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        ASSERT_TRUE(ResetSharedState());
    }
    void TearDown() override {
        StopExchange();
        ::unsetenv("VELDA9_SIM_SCENARIO");
    }

    // Writes the scenario (with a log added) under a fresh name, so the simulator loads it anew.
    void useScenario(Json scenario) {
        m_logPath = m_dir.filePath(QStringLiteral("log%1.jsonl").arg(m_scenarioCount)).toStdString();
        scenario["log"] = m_logPath;
        const std::string path =
            m_dir.filePath(QStringLiteral("scenario%1.json").arg(m_scenarioCount++)).toStdString();
        std::ofstream(path) << scenario.dump();
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
    }

    std::vector<Json> log() const {
        std::vector<Json> lines;
        std::ifstream file(m_logPath);
        for (std::string line; std::getline(file, line);)
            lines.push_back(Json::parse(line));
        return lines;
    }
    std::vector<std::string> commands() const {
        std::vector<std::string> names;
        for (const auto &line : log()) {
            std::string name = line["command"];
            if (line.contains("index")) name += " " + std::to_string(line["index"].get<int>());
            if (line.contains("fault")) name += " !" + line["fault"].get<std::string>();
            names.push_back(name);
        }
        return names;
    }

    ExchangeSetup setup() {
        ExchangeSetup s;
        s.ui = &m_ui;
        s.sleeper = [this](std::chrono::milliseconds ms) {
            std::lock_guard lock(m_pauseMutex);
            m_pauses.push_back(static_cast<int>(ms.count()));
            if (onPause) onPause(static_cast<int>(ms.count()));
        };
        s.handOver = [this](const ReceivedArchive &archive) {
            m_handOvers.push_back({archive.recordCount,
                                   archive.archiveFormat,
                                   archive.recordSize,
                                   {archive.records.begin(), archive.records.end()}});
        };
        s.now = [] { return QDateTime(QDate(2018, 3, 13), QTime(14, 5, 9, 500)); };
        return s;
    }

    void runArchiveRead() {
        ASSERT_EQ(StartArchiveRead(setup(), {&m_controls, &m_controls, &m_controls}), StartResult::Started);
        ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    }

    int pauseTotal() {
        std::lock_guard lock(m_pauseMutex);
        int total = 0;
        for (int p : m_pauses)
            total += p;
        return total;
    }

    QTemporaryDir m_dir;
    std::string m_logPath;
    int m_scenarioCount = 0;
    TestUi m_ui;
    Controls m_controls;
    std::mutex m_pauseMutex;
    std::vector<int> m_pauses;
    std::function<void(int)> onPause;
    std::vector<HandedOver> m_handOvers;
};

// True when the last exchange has ended holding no record array of either format.
bool LastExchangeReleasedItsRecords() {
    const auto exchange = ExchangeRegistry::program().current();
    return exchange && !exchange->Buffers().ShortRecords.allocated() &&
           !exchange->Buffers().LongRecords.allocated();
}

std::vector<std::string> RecordCommands(std::uint32_t from, std::uint32_t to) {
    std::vector<std::string> names;
    for (std::uint32_t i = from; i < to; ++i)
        names.push_back("record " + std::to_string(i));
    return names;
}

std::vector<std::string> Join(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

} // namespace

TEST_F(ExchangeTest, MissingLibraryAndDeniedAccessKeepRetryingUntilCancelled) {
    struct Case {
        const char *name;
        const char *simLibrary;
        Json faults;
        QString label;
        std::optional<UsbError::Kind> failure;
    };
    const Case cases[] = {
        {"library missing", "/nonexistent/libvelda9-sim.so", Json::object(), "Драйвер не установлен",
         std::nullopt},
        {"access denied",
         nullptr,
         {{"open_error", "EACCES"}},
         PickIn(TxtPermissionDenied, 0),
         UsbError::Kind::PermissionDenied},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        LibUSB.UnloadDriver();
        if (c.simLibrary) ::setenv("VELDA9_SIM_LIBRARY", c.simLibrary, 1);
        m_controls = Controls{};
        useScenario({{"firmware_date", "13.03.2018"}, {"faults", c.faults}});
        int displays = 0;
        m_ui.onDisplay = [&displays](int) {
            if (++displays == 4) CancelRequested.store(true);
        };
        runArchiveRead();
        m_ui.onDisplay = nullptr;
        ::unsetenv("VELDA9_SIM_LIBRARY");
        EXPECT_TRUE(m_controls.sawLabel(c.label));
        EXPECT_EQ(m_controls.captions.front(), "Подключение");
        EXPECT_TRUE(m_handOvers.empty());
        EXPECT_EQ(m_controls.closed, 1);
        EXPECT_TRUE(VersionPending.load());
        if (c.failure) {
            ASSERT_TRUE(LastLinkError.get());
            EXPECT_EQ(LastLinkError.get()->kind, *c.failure);
        }
    }
}

TEST_F(ExchangeTest, FullReadOfEachFormat) {
    struct Case {
        const char *firmwareDate;
        std::uint8_t format;
        std::size_t recordSize;
    };
    const Case cases[] = {{"01.06.2015", 0, kShortRecordSize},
                          {"01.01.2017", 1, kLongRecordSize},
                          {"13.03.2018", 2, kLongRecordSize}};
    constexpr std::uint32_t kRecords = 7;
    for (const auto &c : cases) {
        SCOPED_TRACE(c.firmwareDate);
        VersionPending.store(true);
        m_handOvers.clear();
        m_controls = Controls{};
        m_pauses.clear();
        std::vector<std::uint8_t> expected;
        Json records = Json::array();
        for (std::uint32_t i = 0; i < kRecords; ++i) {
            const auto record = TestRecord(c.recordSize, i);
            expected.insert(expected.end(), record.begin(), record.end());
            records.push_back(Hex(record));
        }
        useScenario({{"firmware_date", c.firmwareDate}, {"records_hex", records}});
        runArchiveRead();

        EXPECT_EQ(commands(), Join({"version", "param"}, RecordCommands(0, kRecords)));
        ASSERT_EQ(m_handOvers.size(), 1u);
        EXPECT_EQ(m_handOvers[0].recordCount, kRecords);
        EXPECT_EQ(m_handOvers[0].archiveFormat, c.format);
        EXPECT_EQ(m_handOvers[0].recordSize, c.recordSize);
        EXPECT_EQ(m_handOvers[0].records, expected);
        EXPECT_EQ(ArchiveFormat.load(), c.format);
        EXPECT_EQ(RecordCount.load(), kRecords);
        EXPECT_EQ(ExchangeStatus.load(), StatusOk);
        EXPECT_FALSE(VersionPending.load());
        EXPECT_TRUE(LastExchangeReleasedItsRecords());
        EXPECT_EQ(m_controls.closed, 1);
        EXPECT_TRUE(m_controls.gaugeHidden);
        EXPECT_EQ(m_controls.labels.back(), "Готово");
        EXPECT_EQ(m_controls.captions,
                  (std::vector<QString>{"Подключение", "Чтение версии", "Чтение параметров", "Чтение данных",
                                        "Чтение данных", "Чтение данных", "Чтение данных", "Чтение данных",
                                        "Чтение данных", "Чтение данных", "Чтение данных", "Чтение данных"}));
        // 0 at start, 20 after the parameter block, then 20 + 80 (i + 1) div N per record.
        EXPECT_EQ(m_controls.values, (std::vector<int>{0, 0, 0, 20, 20, 31, 42, 54, 65, 77, 88, 100, 100}));
        EXPECT_EQ(pauseTotal(), 300 + 300 + 80 + 50 + 50 + 50 * static_cast<int>(kRecords));
        EXPECT_TRUE(m_ui.messages().empty());
    }
}

TEST_F(ExchangeTest, SecondReadSkipsTheVersionAndKeepsTheFormat) {
    useScenario({{"firmware_date", "01.06.2015"}, {"records_hex", {Hex(TestRecord(36, 0))}}});
    runArchiveRead();
    ASSERT_EQ(ArchiveFormat.load(), 0);
    // The instrument now claims an outdated firmware: a version read would refuse it, so none is made.
    useScenario(
        {{"firmware_date", "23.09.2012"}, {"records_hex", {Hex(TestRecord(36, 1)), Hex(TestRecord(36, 2))}}});
    m_handOvers.clear();
    runArchiveRead();
    EXPECT_EQ(commands(), (std::vector<std::string>{"param", "record 0", "record 1"}));
    EXPECT_TRUE(m_ui.messages().empty())
        << m_ui.messages().size() << " status " << int(ExchangeStatus.load());
    ASSERT_EQ(m_handOvers.size(), 1u);
    EXPECT_EQ(m_handOvers[0].archiveFormat, 0);
    EXPECT_EQ(m_handOvers[0].recordCount, 2u);
}

TEST_F(ExchangeTest, InstrumentAbsentThenAppearing) {
    useScenario({{"firmware_date", "13.03.2018"},
                 {"records_hex", {Hex(TestRecord(44, 0))}},
                 {"faults", {{"absent_scans", 2}}}});
    runArchiveRead();
    EXPECT_TRUE(m_controls.sawLabel("Проверьте подключение"));
    ASSERT_EQ(m_handOvers.size(), 1u);
    EXPECT_EQ(m_handOvers[0].recordCount, 1u);
    EXPECT_EQ(commands(), (std::vector<std::string>{"version", "param", "record 0"}));
}

TEST_F(ExchangeTest, LinkErrorsRepeatTheStateOrEndTheRecordLoop) {
    struct Case {
        const char *name;
        Json fail;
        std::vector<std::string> commands;
        std::uint32_t handedOver;
        std::uint8_t finalStatus;
    };
    const std::vector<Case> cases = {
        {"version write",
         {{"command", "version"}, {"stage", "write"}, {"times", 2}},
         Join({"version !write", "version !write", "version", "param"}, RecordCommands(0, 4)),
         4,
         StatusOk},
        {"version length",
         {{"command", "version"}, {"stage", "length"}},
         Join({"version", "version !length", "version", "param"}, RecordCommands(0, 4)),
         4,
         StatusOk},
        {"param data",
         {{"command", "param"}, {"stage", "data"}},
         Join({"version", "param", "param !data", "param"}, RecordCommands(0, 4)),
         4,
         StatusOk},
        {"record 2 data ends the loop",
         {{"command", "record"}, {"index", 2}, {"stage", "data"}},
         Join({"version", "param"}, Join(RecordCommands(0, 3), {"record 2 !data"})),
         2,
         StatusLinkError},
        {"record 0 write ends the loop",
         {{"command", "record"}, {"index", 0}, {"stage", "write"}},
         {"version", "param", "record 0 !write"},
         0,
         StatusLinkError},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        VersionPending.store(true);
        m_handOvers.clear();
        m_controls = Controls{};
        Json records = Json::array();
        for (std::uint32_t i = 0; i < 4; ++i)
            records.push_back(Hex(TestRecord(44, i)));
        useScenario(
            {{"firmware_date", "13.03.2018"}, {"records_hex", records}, {"faults", {{"fail", {c.fail}}}}});
        runArchiveRead();
        EXPECT_EQ(commands(), c.commands);
        ASSERT_EQ(m_handOvers.size(), 1u);
        EXPECT_EQ(m_handOvers[0].recordCount, c.handedOver);
        EXPECT_EQ(m_handOvers[0].records.size(), c.handedOver * kLongRecordSize);
        EXPECT_EQ(RecordCount.load(), c.handedOver);
        EXPECT_EQ(ExchangeStatus.load(), c.finalStatus);
        EXPECT_TRUE(m_controls.sawLabel("Ошибка связи"));
        EXPECT_EQ(m_controls.closed, 1);
    }
}

TEST_F(ExchangeTest, BadParameterBlockShowsOneBoxAndHandsNothingOver) {
    RecordCount.store(77);
    useScenario({{"firmware_date", "13.03.2018"},
                 {"records_hex", {Hex(TestRecord(44, 0))}},
                 {"param_block_check", "bad"}});
    runArchiveRead();
    const auto messages = m_ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Ошибка контрольной суммы");
    EXPECT_EQ(messages[0].caption, "Внимание");
    EXPECT_EQ(messages[0].icon, MessageIcon::Error);
    EXPECT_TRUE(m_handOvers.empty());
    EXPECT_EQ(RecordCount.load(), 77u);
    EXPECT_EQ(ExchangeStatus.load(), StatusLinkError);
    EXPECT_EQ(commands(), (std::vector<std::string>{"version", "param"}));
    EXPECT_EQ(m_controls.closed, 1);
}

TEST_F(ExchangeTest, BadRecordCrcShowsOneBoxPerRecordAndTheLoopGoesOn) {
    LanguageIndex.store(1);
    Json records = Json::array();
    for (std::uint32_t i = 0; i < 5; ++i)
        records.push_back(Hex(TestRecord(44, i)));
    useScenario({{"firmware_date", "13.03.2018"},
                 {"records_hex", records},
                 {"faults", {{"bad_crc_records", {1, 3}}}}});
    runArchiveRead();
    LanguageIndex.store(0);
    const auto messages = m_ui.messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].text, "CRC16 Error");
    EXPECT_EQ(messages[1].caption, "Warning");
    EXPECT_EQ(commands(), Join({"version", "param"}, RecordCommands(0, 5)));
    ASSERT_EQ(m_handOvers.size(), 1u);
    EXPECT_EQ(m_handOvers[0].recordCount, 5u);
    // The failing records stay as received; no progress step for them.
    EXPECT_EQ(m_controls.values, (std::vector<int>{0, 0, 0, 20, 20, 36, 68, 100, 100}));
}

TEST_F(ExchangeTest, NoDataHandsOverZeroRecords) {
    useScenario({{"firmware_date", "13.03.2018"}, {"records_hex", Json::array()}});
    RecordCount.store(12);
    runArchiveRead();
    ASSERT_EQ(m_handOvers.size(), 1u);
    EXPECT_EQ(m_handOvers[0].recordCount, 0u);
    EXPECT_TRUE(m_handOvers[0].records.empty());
    EXPECT_EQ(RecordCount.load(), 0u);
    EXPECT_EQ(ExchangeStatus.load(), StatusNoData);
    EXPECT_TRUE(m_controls.sawLabel("Данных нет"));
    EXPECT_EQ(m_controls.closed, 1);
}

// Each exchange reads into buffers of its own and moves its records into the hand-over: the receiver
// holds the very block the records were read into, and a later exchange neither sees nor touches it.
TEST_F(ExchangeTest, EachExchangeHandsOverItsOwnRecordsByMove) {
    struct Read {
        const char *firmwareDate;
        std::size_t recordSize;
        std::uint32_t count;
        std::uint32_t firstIndex; // makes the records of the two reads differ
    };
    const Read reads[] = {{"01.06.2015", kShortRecordSize, 3, 0}, {"13.03.2018", kLongRecordSize, 5, 40}};
    std::vector<ReceivedArchive> kept;
    std::vector<std::shared_ptr<BMTreadUSB>> exchanges;
    std::vector<const std::uint8_t *> blocks;
    std::vector<std::vector<std::uint8_t>> expected;
    for (const Read &r : reads) {
        SCOPED_TRACE(r.firmwareDate);
        VersionPending.store(true);
        std::vector<std::uint8_t> bytes;
        Json records = Json::array();
        for (std::uint32_t i = 0; i < r.count; ++i) {
            const auto record = TestRecord(r.recordSize, r.firstIndex + i);
            bytes.insert(bytes.end(), record.begin(), record.end());
            records.push_back(Hex(record));
        }
        useScenario({{"firmware_date", r.firmwareDate}, {"records_hex", records}});
        // The pauses of state 3 run on the exchange thread, which owns the buffers while it runs.
        const std::uint8_t *block = nullptr;
        onPause = [&](int) {
            if (ExchangeState.load() != StateRecords) return;
            const ExchangeBuffers &buffers = ExchangeRegistry::program().current()->Buffers();
            block = (r.recordSize == kShortRecordSize ? buffers.ShortRecords : buffers.LongRecords)
                        .bytes()
                        .data();
        };
        ExchangeSetup s = setup();
        s.handOver = [&kept](ReceivedArchive archive) { kept.push_back(std::move(archive)); };
        ASSERT_EQ(StartArchiveRead(std::move(s), {}), StartResult::Started);
        ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
        onPause = nullptr;
        exchanges.push_back(ExchangeRegistry::program().current());
        ASSERT_EQ(kept.size(), exchanges.size());
        ASSERT_NE(block, nullptr);
        blocks.push_back(block);
        expected.push_back(bytes);
    }
    ASSERT_NE(exchanges[0], exchanges[1]);
    for (std::size_t i = 0; i < kept.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(kept[i].records, expected[i]);
        EXPECT_EQ(kept[i].records.data(), blocks[i]) << "the records change hands without a copy";
        EXPECT_FALSE(exchanges[i]->Buffers().ShortRecords.allocated());
        EXPECT_FALSE(exchanges[i]->Buffers().LongRecords.allocated());
    }
}

TEST(RecordArray, TakeHandsOutTheReceivedSlotsWithoutACopy) {
    struct Case {
        const char *name;
        std::uint32_t slots;
        std::size_t recordSize;
        std::uint32_t taken;
        std::size_t expectedBytes;
    };
    const Case cases[] = {
        {"every slot of format 0", 3, kShortRecordSize, 3, 3 * kShortRecordSize},
        {"the slots before a link error", 4, kLongRecordSize, 2, 2 * kLongRecordSize},
        {"no more than were allocated", 2, kLongRecordSize, 5, 2 * kLongRecordSize},
        {"none received", 4, kShortRecordSize, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        RecordArray array;
        array.allocate(c.slots, c.recordSize);
        for (std::uint32_t i = 0; i < c.slots; ++i)
            array.store(i, TestRecord(c.recordSize, i));
        const std::uint8_t *block = array.bytes().data();
        const std::vector<std::uint8_t> expected(
            array.bytes().begin(), array.bytes().begin() + static_cast<std::ptrdiff_t>(c.expectedBytes));
        const std::vector<std::uint8_t> taken = array.take(c.taken);
        EXPECT_EQ(taken, expected);
        if (!taken.empty()) {
            EXPECT_EQ(taken.data(), block);
        }
        EXPECT_FALSE(array.allocated());
        EXPECT_EQ(array.slotCount(), 0u);
        EXPECT_TRUE(array.bytes().empty());
    }
}

TEST_F(ExchangeTest, OutdatedFirmwareRepeatsTheVersionUntilCancelled) {
    useScenario({{"firmware_date", "23.09.2012"}, {"records_hex", {Hex(TestRecord(36, 0))}}});
    int versionPauses = 0;
    onPause = [&](int ms) {
        if (ms == 80 && ++versionPauses == 3) CancelRequested.store(true);
    };
    runArchiveRead();
    EXPECT_EQ(commands(), (std::vector<std::string>{"version", "version", "version"}));
    EXPECT_TRUE(m_controls.sawLabel("Версия прошивки устарела"));
    EXPECT_TRUE(m_handOvers.empty());
    EXPECT_TRUE(VersionPending.load());
    EXPECT_FALSE(CancelRequested.load());
    EXPECT_EQ(m_controls.closed, 1);
}

TEST_F(ExchangeTest, BrokenVersionRepliesAreLinkErrors) {
    struct Case {
        const char *name;
        std::string replyHex;
    };
    const Case cases[] = {
        {"40 bytes",
         Hex(std::vector<std::uint8_t>(30, 'x')) + Hex({'1', '3', '.', '0', '3', '.', '2', '0', '1', '8'})},
        {"5 bytes", Hex({'2', '0', '1', '8', 0})},
        {"not a date", Hex({'a', 'b', '.', '0', '3', '.', '2', '0', '1', '8'})},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        m_controls = Controls{};
        m_handOvers.clear();
        useScenario({{"version_reply_hex", c.replyHex}, {"records_hex", {Hex(TestRecord(44, 0))}}});
        int versionPauses = 0;
        onPause = [&](int ms) {
            if (ms == 80 && ++versionPauses == 2) CancelRequested.store(true);
        };
        runArchiveRead();
        EXPECT_EQ(commands(), (std::vector<std::string>{"version", "version"}));
        EXPECT_EQ(ExchangeStatus.load(), StatusLinkError);
        EXPECT_TRUE(VersionPending.load());
        EXPECT_TRUE(m_handOvers.empty());
    }
}

TEST_F(ExchangeTest, CancelInEachState) {
    struct Case {
        const char *name;
        int pauseMs;   // cancel during the n-th pause of this length...
        int pauseHits; // ...
        std::vector<std::string> commands;
        bool versionPendingAfter;
    };
    const Case cases[] = {
        {"state 0, after the device search", 300, 2, {}, true},
        {"state 1, during the version reply pause", 80, 1, {"version"}, true},
        {"state 2, during the parameter reply pause", 50, 1, {"param"}, false},
        {"state 3, during the reply pause of record 2",
         50,
         5,
         {"param", "record 0", "record 1", "record 2"},
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        // Rows 3 and 4 start without a pending version, so their log begins at the parameter request.
        VersionPending.store(c.commands.empty() || c.commands[0] == "version");
        m_controls = Controls{};
        m_handOvers.clear();
        Json records = Json::array();
        for (std::uint32_t i = 0; i < 5; ++i)
            records.push_back(Hex(TestRecord(44, i)));
        useScenario({{"firmware_date", "13.03.2018"}, {"records_hex", records}});
        int hits = 0;
        onPause = [&](int ms) {
            if (ms == c.pauseMs && ++hits == c.pauseHits) CancelRequested.store(true);
        };
        RecordCount.store(99);
        runArchiveRead();
        EXPECT_EQ(RecordCount.load(), 99u);
        EXPECT_EQ(commands(), c.commands);
        EXPECT_TRUE(m_handOvers.empty());
        EXPECT_EQ(m_controls.closed, 1);
        EXPECT_FALSE(CancelRequested.load());
        EXPECT_EQ(VersionPending.load(), c.versionPendingAfter);
        EXPECT_TRUE(LastExchangeReleasedItsRecords());
    }
}

TEST_F(ExchangeTest, CancelWhileTheInstrumentIsMissingEndsWithinOneCycle) {
    useScenario({{"firmware_date", "13.03.2018"}, {"faults", {{"absent_ms", 3600000}}}});
    m_ui.onDisplay = [](int display) {
        if (display == 3) CancelRequested.store(true);
    };
    runArchiveRead();
    EXPECT_TRUE(m_controls.sawLabel("Проверьте подключение"));
    EXPECT_EQ(m_controls.closed, 1);
    EXPECT_TRUE(m_handOvers.empty());
}

TEST_F(ExchangeTest, StaleCancelDoesNotEndTheNextExchange) {
    useScenario({{"firmware_date", "13.03.2018"}, {"records_hex", {Hex(TestRecord(44, 0))}}});
    CancelRequested.store(true);
    runArchiveRead();
    ASSERT_EQ(m_handOvers.size(), 1u);
}

TEST_F(ExchangeTest, OneExchangeAtATimeAndStopWhileRetrying) {
    useScenario({{"firmware_date", "13.03.2018"}, {"faults", {{"absent_ms", 3600000}}}});
    ASSERT_EQ(StartClockSetting(setup()), StartResult::Started);
    EXPECT_TRUE(ExchangeRunning());
    EXPECT_EQ(StartArchiveRead(setup(), {}), StartResult::Busy);
    EXPECT_EQ(StartScreenRead(setup(), {}), StartResult::Busy);
    StopExchange();
    EXPECT_FALSE(ExchangeRunning());
    EXPECT_TRUE(m_ui.messages().empty());
    EXPECT_TRUE(VersionPending.load());
}

TEST_F(ExchangeTest, SharedStateResetsInOneCallButNotUnderARunningExchange) {
    ExchangeStatus = StatusNoDevice;
    VersionPending = false;
    ArchiveFormat = 2;
    RecordCount = 9;
    LastClockOutcome = ClockOutcome::Set;
    LanguageIndex = 1;
    Channel2Present = true;
    LastLinkError.set(UsbError{UsbError::Kind::Busy, EBUSY, {}});
    std::array<std::uint8_t, kScreenBufferSize> screen{};
    screen.fill(0xA5);
    ScreenBuffer.store(screen);

    useScenario({{"firmware_date", "13.03.2018"}, {"faults", {{"absent_ms", 3600000}}}});
    ASSERT_EQ(StartClockSetting(setup()), StartResult::Started);
    EXPECT_FALSE(ResetSharedState());
    EXPECT_EQ(RecordCount.load(), 9u);
    EXPECT_EQ(LanguageIndex.load(), 1);
    StopExchange();

    ASSERT_TRUE(ResetSharedState());
    EXPECT_EQ(ExchangeState.load(), StateConnect);
    EXPECT_EQ(ExchangeMode.load(), ModeArchiveRead);
    EXPECT_EQ(ExchangeStatus.load(), StatusOk);
    EXPECT_FALSE(CancelRequested.load());
    EXPECT_TRUE(VersionPending.load());
    EXPECT_EQ(ArchiveFormat.load(), 0);
    EXPECT_EQ(RecordCount.load(), 0u);
    EXPECT_EQ(LastClockOutcome.load(), ClockOutcome::Pending);
    EXPECT_EQ(LanguageIndex.load(), 0);
    EXPECT_FALSE(Channel1Present.load());
    EXPECT_FALSE(Channel2Present.load());
    EXPECT_EQ(ScreenBuffer.snapshot(), (std::array<std::uint8_t, kScreenBufferSize>{}));
    EXPECT_FALSE(LastLinkError.get());
    EXPECT_TRUE(LibUSB.simulatorSelected()) << "the binding keeps its simulate switch";
}

TEST_F(ExchangeTest, TheProgramsRegistryOwnsTheExchangeAndStopsItAtItsEnd) {
    useScenario({{"firmware_date", "13.03.2018"}, {"faults", {{"absent_ms", 3600000}}}});
    std::shared_ptr<BMTreadUSB> exchange;
    {
        ExchangeRegistry registry;
        EXPECT_THROW({ ExchangeRegistry second; }, std::logic_error);
        ASSERT_EQ(StartClockSetting(setup()), StartResult::Started);
        EXPECT_TRUE(ExchangeRunning());
        exchange = registry.current();
        ASSERT_NE(exchange, nullptr);
    }
    EXPECT_TRUE(exchange->Finished()) << "the registry's end stops an exchange that keeps retrying";
    EXPECT_FALSE(ExchangeRunning());
    ExchangeRegistry next; // the program's slot is free again
    EXPECT_EQ(next.current(), nullptr);
}

TEST_F(ExchangeTest, ClockSettingSendsThePayloadAndReports) {
    useScenario({{"firmware_date", "13.03.2018"},
                 {"faults", {{"fail", {{{"command", "clock"}, {"stage", "data"}}}}}}});
    ASSERT_EQ(StartClockSetting(setup()), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_EQ(commands(), (std::vector<std::string>{"version", "clock", "clock !data", "clock", "clock"}));
    const auto lines = log();
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back()["payload_hex"], "09050e0d0312");
    const auto messages = m_ui.messages();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Время установлено успешно");
    EXPECT_EQ(messages[0].caption, "Внимание");
    EXPECT_EQ(messages[0].icon, MessageIcon::Information);
    EXPECT_FALSE(VersionPending.load());
    EXPECT_EQ(ArchiveFormat.load(), 2);
}

TEST_F(ExchangeTest, ScreenReadFillsScreenBuffer) {
    std::vector<std::uint8_t> image(kScreenBufferSize);
    for (std::size_t i = 0; i < image.size(); ++i)
        image[i] = static_cast<std::uint8_t>(i * 13 + 7);
    useScenario({{"firmware_date", "13.03.2018"},
                 {"screen_hex", Hex(image)},
                 {"faults", {{"fail", {{{"command", "screen"}, {"stage", "data"}}}}}}});
    VersionPending.store(false);
    ArchiveFormat.store(2);
    ASSERT_EQ(StartScreenRead(setup(), {&m_controls, &m_controls, &m_controls}), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_EQ(commands(), (std::vector<std::string>{"screen", "screen !data", "screen"}));
    const auto buffer = ScreenBuffer.snapshot();
    EXPECT_EQ(std::vector<std::uint8_t>(buffer.begin(), buffer.end()), image);
    EXPECT_TRUE(m_controls.sawLabel("Чтение данных"));
    EXPECT_EQ(m_controls.labels.back(), "Готово");
    EXPECT_TRUE(m_controls.gaugeHidden);
    EXPECT_EQ(m_controls.values.back(), 100);
    // A screen read has no dialog to close.
    EXPECT_EQ(m_controls.closed, 0);
    EXPECT_TRUE(m_controls.captions.empty());
}

TEST_F(ExchangeTest, CancelDuringClockAndScreenStates) {
    useScenario({{"firmware_date", "13.03.2018"}});
    VersionPending.store(false);
    ArchiveFormat.store(2);
    // Cancelled during the pause before the payload: the payload still goes out, but no success box.
    int clockPauses = 0;
    onPause = [&](int ms) {
        if (ms == 300 && ++clockPauses == 3) CancelRequested.store(true);
    };
    ASSERT_EQ(StartClockSetting(setup()), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_EQ(commands(), (std::vector<std::string>{"clock", "clock"}));
    EXPECT_TRUE(m_ui.messages().empty());
    EXPECT_FALSE(CancelRequested.load());
    EXPECT_EQ(LastClockOutcome.load(), ClockOutcome::Set);

    // Cancelled while the instrument is being opened: nothing is sent and the outcome says so.
    useScenario({{"firmware_date", "13.03.2018"}});
    int openPausesBeforeClock = 0;
    onPause = [&](int ms) {
        if (ms == 300 && ++openPausesBeforeClock == 2) CancelRequested.store(true);
    };
    ASSERT_EQ(StartClockSetting(setup()), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_TRUE(commands().empty());
    EXPECT_EQ(LastClockOutcome.load(), ClockOutcome::NotSent);

    // The screen state does not look at the cancel flag: the image is still read.
    useScenario(
        {{"firmware_date", "13.03.2018"}, {"screen_hex", Hex(std::vector<std::uint8_t>(1024, 0x5A))}});
    int openPauses = 0;
    onPause = [&](int ms) {
        if (ms == 300 && ++openPauses == 2) CancelRequested.store(true);
    };
    ASSERT_EQ(StartScreenRead(setup(), {&m_controls, nullptr, &m_controls}), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    EXPECT_EQ(commands(), (std::vector<std::string>{"screen"}));
    EXPECT_EQ(ScreenBuffer.snapshot()[1023], 0x5A);
    EXPECT_FALSE(CancelRequested.load());
}

TEST(ThreadPriority, IdleIsReversibleOnlyWhereTheWayBackIsPermitted) {
    struct Case {
        const char *name;
        int nice;
        unsigned long long limit;
        bool capSysNice;
        bool reversible;
    };
    const Case cases[] = {
        {"ordinary user, default limit 0", 0, 0, false, false},
        {"limit just allows nice 0", 0, 20, false, true},
        {"limit one short of nice 0", 0, 19, false, false},
        {"niced process within its limit", 5, 15, false, true},
        {"niced process beyond its limit", 5, 14, false, false},
        {"nicest value with limit 1", 19, 1, false, true},
        {"unlimited", -20, ~0ULL, false, true},
        {"CAP_SYS_NICE", 0, 0, true, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(IdlePriorityReversible(c.nice, c.limit, c.capSysNice), c.reversible);
    }
}

// An ordinary user (no CAP_SYS_NICE, RLIMIT_NICE 0, as on a default desktop) reads the archive: from
// the moment the instrument answers, every state of the exchange runs at normal priority, so a busy
// machine cannot starve the download. Runs in a child process that drops root's rights first.
TEST_F(ExchangeTest, AnOrdinaryUserDownloadsAtNormalPriority) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    Json records = Json::array();
    for (std::uint32_t i = 0; i < 3; ++i)
        records.push_back(Hex(TestRecord(kLongRecordSize, i)));
    const std::string path = m_dir.filePath(QStringLiteral("ordinary.json")).toStdString();
    std::ofstream(path) << Json{{"firmware_date", "13.03.2018"}, {"records_hex", records}}.dump();
    // The unprivileged child must still read its scenario.
    ASSERT_EQ(::chmod(m_dir.path().toLocal8Bit().constData(), 0755), 0);
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);

    const auto downloadAsOrdinaryUser = [&] {
        const rlimit noNice{0, 0};
        if (::setrlimit(RLIMIT_NICE, &noNice) != 0) std::_Exit(10);
        if (::geteuid() == 0) {
            constexpr gid_t kNobodyGroup = 65534;
            constexpr uid_t kNobody = 65534;
            if (::setgroups(0, nullptr) != 0 || ::setgid(kNobodyGroup) != 0 || ::setuid(kNobody) != 0)
                std::_Exit(11);
        }
        if (IdlePriorityReversible()) std::_Exit(12); // not an ordinary user after all
        ::setenv("VELDA9_SIM_SCENARIO", path.c_str(), 1);
        std::mutex mutex;
        std::string slow;
        const auto check = [&](const char *where) {
            const int policy = ::sched_getscheduler(0);
            if (policy != SCHED_OTHER) {
                std::lock_guard lock(mutex);
                slow += std::string(where) + " state " + std::to_string(ExchangeState.load()) + " policy " +
                        std::to_string(policy) + "; ";
            }
        };
        // The first read of a run reads the firmware version; the second goes from the search for the
        // instrument straight to the parameter block.
        for (const bool versionPending : {true, false}) {
            VersionPending.store(versionPending);
            ExchangeSetup s;
            s.ui = &m_ui;
            s.sleeper = [&](std::chrono::milliseconds) {
                if (ExchangeState.load() != StateConnect) check("pause");
            };
            std::atomic<bool> handedOver{false};
            s.handOver = [&](const ReceivedArchive &archive) {
                check("fill");
                handedOver = archive.recordCount == 3;
            };
            if (StartArchiveRead(std::move(s), {}) != StartResult::Started) std::_Exit(13);
            if (!WaitForExchange(std::chrono::seconds(60))) std::_Exit(14);
            if (!handedOver) std::_Exit(15);
        }
        if (!slow.empty()) {
            std::fprintf(stderr, "below normal priority: %s\n", slow.c_str());
            std::_Exit(1);
        }
        std::_Exit(0);
    };
    EXPECT_EXIT(downloadAsOrdinaryUser(), ::testing::ExitedWithCode(0), "");
}
