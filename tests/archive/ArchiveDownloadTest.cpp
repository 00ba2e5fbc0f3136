// The download hand-over: a detached table filled on another thread and swapped in whole.
#include "archive/ArchiveDownload.h"

#include "QtPrinters.h"
#include "RecordBytes.h"
#include "app/MainTexts.h"

#include <gtest/gtest.h>

#include <thread>

using namespace velda;
using velda::test::Concat;
using velda::test::RecordBytes;
using velda::test::RecordSpec;

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
    const SystemFormats formats = SystemFormats::FromLocale(QLocale(QStringLiteral("ru_RU")));
    ArchiveTable shown = ShownTable();
    ArchiveDownload download(shown, &formats);

    RecordSpec both;
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
    // The shown table was not touched while the exchange ran.
    EXPECT_EQ(shown.cell(0, 5), QStringLiteral("old 5"));

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

TEST(ArchiveDownload, CancelDuringTheFillKeepsTheRowsWritten) {
    LanguageIndex = 1;
    CancelRequested = true; // pressed before the first record: no row is written, the size still is
    ArchiveTable shown = ShownTable();
    ArchiveDownload download(shown);
    const auto bytes = Concat({RecordBytes(0, RecordSpec{}), RecordBytes(0, RecordSpec{})});
    download.fill(ReceivedArchive{nullptr, 2, 0, 36, bytes});
    CancelRequested = false;
    LanguageIndex = 0;
    ASSERT_TRUE(download.swapInto(shown));
    EXPECT_EQ(shown.rowCount(), 3);
    EXPECT_TRUE(TableIsEmpty(shown));
}
