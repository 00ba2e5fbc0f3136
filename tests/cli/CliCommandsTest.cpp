// Tests of velda9-cli's command logic that needs no instrument: the no-progress watchdog, the status
// printer, the TSV dump, the column layout of a read and its summary.
#include "cli/CliCommands.h"
#include "base/ArchiveTable.h"
#include "base/SharedTexts.h"
#include "cli/CliExchange.h"
#include "device/Exchange.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "cli/ReadBack.h"

#include <unistd.h>

#include <cstdio>
#include <vector>

using namespace velda;
using namespace velda::cli;
using velda::cli::test::ReadBack;
using namespace std::chrono_literals;

namespace {

struct Step {
    std::chrono::milliseconds at; ///< since the start
    Heartbeat beat;
};

} // namespace

TEST(ProgressWatchdog, ExpiresOnlyAfterTheLimitWithoutProgress) {
    struct Case {
        const char *name;
        std::vector<Step> steps;
        std::chrono::milliseconds checkAt;
        bool expired;
    };
    const std::chrono::milliseconds limit = 1000ms;
    const std::vector<Case> cases = {
        {"nothing seen within the limit", {}, 999ms, false},
        {"nothing seen at the limit", {}, 1000ms, true},
        {"instrument missing: state 0 repeats",
         {{0ms, {StateConnect, StatusNoDevice, 0, false}},
          {300ms, {StateConnect, StatusNoDevice, 0, false}},
          {900ms, {StateConnect, StatusNoDevice, 0, false}}},
         1000ms,
         true},
        {"found after a while: the move to state 1 counts",
         {{0ms, {StateConnect, StatusNoDevice, 0, false}}, {900ms, {StateVersion, StatusOk, 0, false}}},
         1800ms,
         false},
        {"outdated firmware: state 1 repeats",
         {{100ms, {StateVersion, StatusOk, 0, false}},
          {200ms, {StateVersion, StatusOldFirmware, 0, false}},
          {800ms, {StateVersion, StatusOldFirmware, 0, false}}},
         1100ms,
         true},
        {"repeated link errors while reading the parameter block",
         {{100ms, {StateParams, StatusOk, 0, false}}, {900ms, {StateParams, StatusLinkError, 0, false}}},
         1100ms,
         true},
        {"records arriving without the gauge moving",
         {{0ms, {StateRecords, StatusOk, 20, false}},
          {800ms, {StateRecords, StatusOk, 20, false}},
          {1600ms, {StateRecords, StatusOk, 20, false}},
          {2400ms, {StateRecords, StatusOk, 20, false}}},
         3000ms,
         false},
        {"a record failing its check still arrived",
         {{0ms, {StateRecords, StatusOk, 20, false}}, {900ms, {StateRecords, StatusLinkError, 20, true}}},
         1800ms,
         false},
        {"gauge moving",
         {{0ms, {StateScreen, StatusOk, 0, false}}, {900ms, {StateScreen, StatusOk, 80, false}}},
         1800ms,
         false},
        {"gauge back to an old value is no progress",
         {{0ms, {StateScreen, StatusOk, 80, false}},
          {100ms, {StateScreen, StatusLinkError, 80, false}},
          {900ms, {StateScreen, StatusLinkError, 80, false}}},
         1100ms,
         true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto start = ProgressWatchdog::Clock::time_point{} + 1h;
        ProgressWatchdog watchdog(limit, start);
        for (const Step &step : c.steps)
            watchdog.observe(step.beat, start + step.at);
        EXPECT_EQ(watchdog.expired(start + c.checkAt), c.expired);
    }
}

TEST(ProgressPrinter, PlainLinesOnlyWhenSomethingChanges) {
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        ProgressPrinter printer(file, false);
        printer.show(QStringLiteral("Connection"), QString(), 0);
        printer.show(QStringLiteral("Connection"), QStringLiteral("Check Connection"), 0);
        printer.show(QStringLiteral("Connection"), QStringLiteral("Check Connection"), 0);
        printer.show(QStringLiteral("Data Read"), QStringLiteral("Data Archive"), 20);
        printer.show(QStringLiteral("Data Read"), QStringLiteral("Data Archive"), 25);
        printer.show(QStringLiteral("Data Read"), QStringLiteral("Data Archive"), 31);
        printer.show(QStringLiteral("Data Read"), QStringLiteral("Data Archive"), 150);
        printer.line(QStringLiteral("Warning: CRC16 Error"));
        printer.finish();
    }
    EXPECT_EQ(ReadBack(file), QStringLiteral("Connection\n"
                                             "Connection: Check Connection\n"
                                             "Data Read 20%: Data Archive\n"
                                             "Data Read 31%: Data Archive\n"
                                             "Data Read 100%: Data Archive\n"
                                             "Warning: CRC16 Error\n"));
    std::fclose(file);
}

TEST(ProgressPrinter, TerminalBarIsRedrawnAndEndedBeforeALine) {
    std::FILE *file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    {
        ProgressPrinter printer(file, true);
        printer.show(QStringLiteral("Data Read"), QStringLiteral("Data Archive"), 50);
        printer.show(QStringLiteral("Data Read"), QStringLiteral("Data Archive"), 50);
        printer.line(QStringLiteral("done"));
    }
    const QString text = ReadBack(file);
    EXPECT_TRUE(text.startsWith(QStringLiteral("\r\033[KData Read [###############...............]  50%")))
        << text.toStdString();
    EXPECT_TRUE(text.endsWith(QStringLiteral("Data Archive\ndone\n"))) << text.toStdString();
    EXPECT_EQ(text.count(QLatin1Char('\r')), 1) << "an unchanged bar is not drawn again";
    std::fclose(file);
}

TEST(DumpText, EveryStoredColumnOfEveryRowOneLineEach) {
    ArchiveTable table;
    table.setColCount(3);
    table.setRowCount(3);
    table.setCell(0, 0, QStringLiteral("№"));
    table.setCell(2, 0, QStringLiteral("Давление, мм рт. ст."));
    table.setCell(0, 1, QStringLiteral("1"));
    table.setCell(1, 1, QStringLiteral("a\tb"));
    table.setCell(2, 1, QStringLiteral("c\\d\r\ne"));
    table.setCell(5, 1, QStringLiteral("hidden"));
    EXPECT_EQ(DumpText(table), QByteArray("№\t\tДавление, мм рт. ст.\n"
                                          "1\ta\\tb\tc\\\\d\\r\\ne\n"
                                          "\t\t\n"));
}

TEST(ApplyColumnLayout, FourteenColumnsWhenTheSecondSlotHoldsAnything) {
    struct Case {
        const char *name;
        ChannelFlags flags;
        bool secondSlotFilled;
        int colCount;
    };
    const std::vector<Case> cases = {
        {"both channels", {true, true}, true, 14},
        {"channel 1 alone", {true, false}, false, 10},
        {"channel 2 alone", {false, true}, false, 10},
        {"last record alone, earlier one with two channels", {true, false}, true, 14},
        {"no record", {false, false}, false, 10},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ArchiveTable table;
        table.setColCount(10);
        table.setRowCount(3);
        table.setCell(13, 0, QStringLiteral("Q, W/m2")); // headers alone do not count
        if (c.secondSlotFilled) table.setCell(11, 1, QStringLiteral("21.50"));
        ApplyColumnLayout(table, c.flags);
        EXPECT_EQ(table.colCount(), c.colCount);
    }
}

TEST(ReadSummary, NamesRecordsChannelsAndTheFirstAndLastDate) {
    LanguageIndex.store(1);
    ArchiveTable table;
    table.setRowCount(1);
    EXPECT_EQ(ReadSummary(table, {}, QStringLiteral("a.vd")),
              QStringLiteral("No records; the table header was saved to a.vd"));

    table.setRowCount(3);
    table.setCell(1, 1, QStringLiteral("10:00:00"));
    table.setCell(2, 1, QStringLiteral("01.02.2024"));
    table.setCell(1, 2, QStringLiteral("11:30:00"));
    table.setCell(2, 2, QStringLiteral("03.02.2024"));
    EXPECT_EQ(ReadSummary(table, {false, true}, QStringLiteral("b.vd")),
              QStringLiteral(
                  "2 records, channels 2, from 01.02.2024 10:00:00 to 03.02.2024 11:30:00; saved to b.vd"));
    LanguageIndex.store(0);
    EXPECT_TRUE(
        ReadSummary(table, {true, true}, QStringLiteral("b.vd")).startsWith(QStringLiteral("Записей: 2")));
}

TEST(OutputPathProblem, RefusesWhatCannotTakeTheFileBeforeAnyDownload) {
    LanguageIndex.store(1);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("sub")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")), QFile::ReadOwner | QFile::ExeOwner);
    {
        QFile protectedFile(dir.filePath(QStringLiteral("protected.vd")));
        ASSERT_TRUE(protectedFile.open(QIODevice::WriteOnly));
    }
    QFile::setPermissions(dir.filePath(QStringLiteral("protected.vd")), QFile::ReadOwner | QFile::ReadGroup);
    struct Case {
        const char *name;
        QString path;
        const char *mentions; ///< nullptr: no problem
        bool needsNonRoot;
    };
    const std::vector<Case> cases = {
        {"new file", dir.filePath(QStringLiteral("a.vd")), nullptr, false},
        {"file in a subfolder", dir.filePath(QStringLiteral("sub/a.vd")), nullptr, false},
        {"a folder", dir.filePath(QStringLiteral("sub")), "is a folder", false},
        {"missing folder", dir.filePath(QStringLiteral("none/a.vd")), "does not exist", false},
        {"folder without write access", dir.filePath(QStringLiteral("locked/a.vd")), "not writable", true},
        // Refused also where the superuser could write it: the windows do not replace it either.
        {"read-only file", dir.filePath(QStringLiteral("protected.vd")), "read-only", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        if (c.needsNonRoot && geteuid() == 0) continue; // root may write anywhere
        const auto checked = CheckOutputTarget(c.path);
        const QString problem = checked ? QString() : checked.error().message();
        if (c.mentions == nullptr) {
            EXPECT_TRUE(problem.isEmpty()) << problem.toStdString();
        } else {
            EXPECT_TRUE(problem.contains(QLatin1String(c.mentions))) << problem.toStdString();
            EXPECT_TRUE(problem.startsWith(c.path)) << problem.toStdString();
        }
    }
    QFile::setPermissions(dir.filePath(QStringLiteral("locked")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    LanguageIndex.store(0);
}
