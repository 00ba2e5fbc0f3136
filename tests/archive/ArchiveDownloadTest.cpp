// The download hand-over: a detached table filled on another thread and swapped in whole.
#include "archive/ArchiveDownload.h"

#include "ExchangeTestSupport.h"
#include "QtPrinters.h"
#include "RecordBytes.h"
#include "archive/ProjectFile.h"
#include "base/SharedTexts.h"
#include "device/Exchange.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <thread>

using namespace velda;
using velda::test::Concat;
using velda::test::Hex;
using velda::test::RecordBytes;
using velda::test::RecordFields;

namespace {

ArchiveTable ShownTable() {
    ArchiveTable table;
    for (int c = 0; c < 14; ++c)
        table.setCell(c, 0, PickIn(kHeaderTexts[c], 1));
    for (int row = 1; row < 9; ++row)
        table.setCell(0, row, QStringLiteral("old %1").arg(row));
    return table;
}

} // namespace

TEST(ArchiveDownload, FillsOnTheExchangeThreadAndSwapsInWhole) {
    LanguageIndex = 0;
    CancelRequested = false;
    Channel1Present = false;
    Channel2Present = false;
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    ArchiveTable shown = ShownTable();
    ArchiveDownload download(shown, &formats);

    RecordFields both;
    both.sensor1 = 6; // MK SHT: dew point in slot 0
    both.sensor2 = 7; // MK BMP280 SHT: pressure in slot 1
    both.humidity2 = 50.0f;
    both.aux2 = 745.5f;
    const auto bytes = Concat({RecordBytes(2, both), RecordBytes(2, both), RecordBytes(2, both)});
    ReceivedArchive received;
    received.recordCount = 3;
    received.archiveFormat = 2;
    received.recordSize = 44;
    received.records = bytes;

    EXPECT_FALSE(download.swapInto(shown)) << "nothing to hand over before the fill";
    std::thread exchange([&, handOver = download.handOver()] { handOver(received); });
    exchange.join();
    ASSERT_TRUE(download.ready());
    // The shown table was not touched while the exchange ran, nor the flags that describe it.
    EXPECT_EQ(shown.cell(0, 5), QStringLiteral("old 5"));
    EXPECT_FALSE(Channel1Present.load() || Channel2Present.load());

    ASSERT_TRUE(download.swapInto(shown));
    EXPECT_EQ(shown.rowCount(), 4);
    EXPECT_EQ(shown.cell(1, 0), QStringLiteral("Time")) << "header row as the main window wrote it";
    EXPECT_EQ(shown.cell(9, 0), QStringLiteral("Точка росы, °C"));
    EXPECT_EQ(shown.cell(13, 0), QStringLiteral("Давление, мм рт. ст."));
    EXPECT_EQ(shown.cell(0, 3), QStringLiteral("3"));
    EXPECT_EQ(shown.cell(13, 3), QStringLiteral("745,50"));
    EXPECT_EQ(shown.cell(0, 5), QString()) << "earlier rows are gone";
    EXPECT_TRUE(Channel1Present.load());
    EXPECT_TRUE(Channel2Present.load());
    EXPECT_FALSE(download.takeTable().has_value()) << "handed out once";
}

TEST(ArchiveDownload, NoHandOverLeavesTheShownTable) {
    ArchiveTable shown = ShownTable();
    {
        ArchiveDownload download(shown);
        EXPECT_FALSE(download.ready());
        EXPECT_FALSE(download.swapInto(shown));
    }
    EXPECT_EQ(shown.cell(0, 8), QStringLiteral("old 8"));
}

TEST(ArchiveDownload, ACancelPendingAtTheFillStillWritesEveryRecord) {
    LanguageIndex = 1;
    CancelRequested = true; // pressed after state 10 had looked at the flag
    ArchiveTable shown = ShownTable();
    ArchiveDownload download(shown);
    const auto bytes = Concat({RecordBytes(0, RecordFields{}), RecordBytes(0, RecordFields{})});
    download.fill(ReceivedArchive{2, 0, 36, bytes});
    CancelRequested = false;
    LanguageIndex = 0;
    ASSERT_TRUE(download.swapInto(shown));
    EXPECT_EQ(shown.rowCount(), 3);
    EXPECT_EQ(shown.cell(0, 1), QStringLiteral("1"));
    EXPECT_EQ(shown.cell(0, 2), QStringLiteral("2"));
}

namespace {

// Runs status displays inline on the exchange thread; message boxes are answered at once.
class InlineUi : public ExchangeUi {
public:
    void runBlocking(const std::function<void()> &call) override { call(); }
    void showMessage(const QString &, const QString &, MessageIcon) override { ++messages; }
    std::atomic<int> messages{0};
};

} // namespace

TEST(ArchiveDownload, ReadOfTheSimulatedInstrumentEndsInAFilledTable) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    RecordFields first; // channel 2 alone, MK SHT: temperature, humidity and dew point in slot 0
    first.channels = 0x21;
    first.sensor2 = 6;
    first.temperature2 = 20.0f;
    first.humidity2 = 50.0f;
    RecordFields second; // both channels, continuous mode: thermocouple and pressure probe
    second.modeCount = 255;
    second.sensor1 = 1;
    second.sensor2 = 7;
    second.humidity2 = 55.0f;
    second.aux2 = 752.25f;
    const std::string scenario = dir.filePath(QStringLiteral("scenario.json")).toStdString();
    std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "records_hex": [")"
                            << Hex(RecordBytes(2, first)) << R"(", ")" << Hex(RecordBytes(2, second))
                            << R"("]})";
    ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
    LibUSB.useSimulator(true);
    LanguageIndex = 1;
    CancelRequested = false;
    VersionPending = true;

    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("en_GB")));
    ArchiveTable shown = ShownTable();
    auto download = std::make_shared<ArchiveDownload>(shown, &formats);
    InlineUi ui;
    ExchangeSetup setup;
    setup.ui = &ui;
    setup.sleeper = [](std::chrono::milliseconds) {};
    setup.handOver = download->handOver();
    ASSERT_EQ(StartArchiveRead(std::move(setup), {}), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(60)));
    ShutdownDeviceLink();
    ::unsetenv("VELDA9_SIM_SCENARIO");
    LanguageIndex = 0;

    EXPECT_EQ(ExchangeStatus.load(), StatusOk);
    EXPECT_EQ(ArchiveFormat.load(), 2);
    ASSERT_TRUE(download->swapInto(shown));
    ASSERT_EQ(shown.rowCount(), 3);
    EXPECT_EQ(shown.cell(2, 1), QStringLiteral("31/12/2018"));
    EXPECT_EQ(shown.cell(3, 1), QStringLiteral("On series"));
    EXPECT_EQ(shown.cell(6, 1), QStringLiteral("MK SHT       "));
    EXPECT_EQ(shown.cell(9, 1), QStringLiteral("9.27"));
    EXPECT_EQ(shown.cell(3, 2), QStringLiteral("Uninterrupted"));
    EXPECT_EQ(shown.cell(4, 2), QString());
    EXPECT_EQ(shown.cell(6, 2), QStringLiteral("XA-Thermopair"));
    EXPECT_EQ(shown.cell(7, 2), QStringLiteral("21.50"));
    EXPECT_EQ(shown.cell(10, 2), QStringLiteral("MK BMP280 SHT"));
    EXPECT_EQ(shown.cell(13, 2), QStringLiteral("752.25"));
    EXPECT_EQ(shown.cell(13, 0), QStringLiteral("Pressure, mm Hg"));
    EXPECT_TRUE(Channel1Present.load());
    EXPECT_TRUE(Channel2Present.load());
    EXPECT_EQ(ui.messages.load(), 0);
}

// A full archive read from the simulated instrument whose table fill is slow; the user presses Cancel in
// the middle of the fill (after the exchange has decided in state 10 that the read stands). The table
// that is swapped in holds every received record, never a part of them.
TEST(ArchiveDownload, CancelInTheMiddleOfASlowFillLeavesNoPartialTable) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    constexpr std::size_t kRecords = 2688;
    const std::string scenario = dir.filePath(QStringLiteral("scenario.json")).toStdString();
    std::ofstream(scenario)
        << R"({"firmware_date": "13.03.2018", "generate": {"records": 2688, "format": 2, "seed": 7}})";
    ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
    LibUSB.useSimulator(true);
    LanguageIndex = 0;
    CancelRequested = false;
    VersionPending = true;

    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    ArchiveTable shown = ShownTable();
    auto download = std::make_shared<ArchiveDownload>(shown, &formats);
    std::atomic<std::size_t> rowsWritten{0};
    std::atomic<bool> cancelClicked{false};
    download->setRowObserver([&](std::size_t rows) {
        rowsWritten = rows;
        // The progress dialog's Cancel does nothing but set the flag; here it lands half-way through.
        if (rows == kRecords / 2) {
            CancelRequested.store(true);
            cancelClicked = true;
        }
    });
    InlineUi ui;
    ExchangeSetup setup;
    setup.ui = &ui;
    setup.sleeper = [](std::chrono::milliseconds) {};
    setup.handOver = download->handOver();
    ASSERT_EQ(StartArchiveRead(std::move(setup), {}), StartResult::Started);
    ASSERT_TRUE(WaitForExchange(std::chrono::seconds(120)));
    ShutdownDeviceLink();
    ::unsetenv("VELDA9_SIM_SCENARIO");

    ASSERT_TRUE(cancelClicked.load()) << "rows written: " << rowsWritten.load();
    EXPECT_EQ(rowsWritten.load(), kRecords) << "the fill went on after the Cancel";
    EXPECT_EQ(RecordCount.load(), kRecords);
    ASSERT_TRUE(download->swapInto(shown));
    ASSERT_EQ(shown.rowCount(), static_cast<int>(kRecords) + 1);
    int filledRows = 0;
    for (int row = 1; row < shown.rowCount(); ++row)
        if (!shown.cell(0, row).isEmpty() && !shown.cell(1, row).isEmpty() && !shown.cell(6, row).isEmpty())
            ++filledRows;
    EXPECT_EQ(filledRows, static_cast<int>(kRecords)) << "every row of the table holds its record";
    EXPECT_EQ(shown.cell(0, static_cast<int>(kRecords)), QString::number(kRecords));
    CancelRequested = false;
}

// A project of one channel stores 10 columns and no header for the second slot; a two-channel download
// into it shows all 14 headers, and the flags follow the shown table: the file's until the swap.
TEST(ArchiveDownload, OneChannelProjectThenTwoChannelDownload) {
    struct Case {
        const char *name;
        ChannelFlags file;
    };
    const Case cases[] = {{"channel 1 alone", {true, false}}, {"channel 2 alone", {false, true}}};
    LanguageIndex = 0;
    CancelRequested = false;
    QTemporaryDir dir;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable written;
        written.setColCount(10);
        written.setRowCount(2);
        for (int col = 0; col < 10; ++col) {
            written.setCell(col, 0, PickIn(kHeaderTexts[col], 0));
            written.setCell(col, 1, QStringLiteral("%1").arg(col));
        }
        const QString path = dir.filePath(QString::fromUtf8(c.name) + ".vd");
        ASSERT_TRUE(SaveProject(written, path, c.file).ok());

        ArchiveTable shown;
        ASSERT_TRUE(LoadProject(shown, path).ok());
        EXPECT_EQ((ChannelFlags{Channel1Present.load(), Channel2Present.load()}), c.file);
        ArchiveDownload download(shown);
        RecordFields both;
        both.sensor1 = 6; // dew point in slot 0
        both.sensor2 = 7; // pressure in slot 1
        ReceivedArchive received;
        received.recordCount = 1;
        received.archiveFormat = 2;
        received.recordSize = kLongRecordSize;
        received.records = RecordBytes(2, both);
        download.fill(received);
        EXPECT_EQ((ChannelFlags{Channel1Present.load(), Channel2Present.load()}), c.file);

        ASSERT_TRUE(download.swapInto(shown));
        EXPECT_EQ((ChannelFlags{Channel1Present.load(), Channel2Present.load()}), (ChannelFlags{true, true}));
        for (int col = 0; col < 14; ++col) {
            const QString expected = col == 9    ? QStringLiteral("Точка росы, °C")
                                     : col == 13 ? QStringLiteral("Давление, мм рт. ст.")
                                                 : PickIn(kHeaderTexts[col], 0);
            EXPECT_EQ(shown.cell(col, 0), expected) << col;
        }
    }
}
