// The main window's archive commands without the window: project save and open, the archive read.
#include "ExchangeTestSupport.h"
#include "archive/ArchiveReadCommand.h"
#include "archive/ProjectFileCommand.h"

#include "QtPrinters.h"
#include "RecordBytes.h"
#include "base/SharedTexts.h"
#include "device/LibUsbBinding.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>
#include <mutex>

using namespace velda;
using velda::test::Gate;
using velda::test::Hex;
using velda::test::RecordBytes;
using velda::test::RecordFields;

namespace {

ArchiveTable TableOf(int dataRows) {
    ArchiveTable table;
    table.setChannels({true, false});
    table.setRowCount(dataRows + 1);
    for (int c = 0; c < 14; ++c)
        table.setCell(c, 0, Pick(kHeaderTexts[c]));
    for (int row = 1; row <= dataRows; ++row) {
        table.setCell(0, row, QString::number(row));
        table.setCell(7, row, QStringLiteral("2%1.50").arg(row));
    }
    return table;
}

class ProjectFileCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        Channel1Present = true;
        Channel2Present = false;
        RecordCount = 0;
    }
    void TearDown() override {
        Channel1Present = false;
        Channel2Present = false;
        RecordCount = 0;
    }
    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir m_dir;
    ProjectFileCommand m_command;
};

} // namespace

TEST_F(ProjectFileCommandTest, SaveProposesArhiveUntilANameWasChosenAndKeepsARefusedName) {
    EXPECT_EQ(m_command.proposedSaveName(), QStringLiteral("Arhive"));
    const QString target = path("empty.vd");
    const auto refused = m_command.save(TableOf(0), target);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().kind, ProjectSaveError::Kind::ArchiveNotRead);
    EXPECT_EQ(refused.error().message, Pick(TxtArchiveNotRead));
    EXPECT_FALSE(QFile::exists(target)); // an empty table writes no file
    EXPECT_EQ(m_command.proposedSaveName(), target);
}

TEST_F(ProjectFileCommandTest, SavedProjectOpensAgainWithItsRowsAndFlags) {
    const QString target = path("three.vd");
    const auto saved = m_command.save(TableOf(3), target);
    ASSERT_TRUE(saved.ok()) << saved.error().message.toStdString();
    EXPECT_EQ(saved.value(), QFile(target).size());

    Channel1Present = false;
    ArchiveTable shown = TableOf(1);
    const auto opened = m_command.open(shown, target);
    ASSERT_TRUE(opened.ok());
    EXPECT_EQ(shown.rowCount(), 4);
    EXPECT_EQ(shown.cell(7, 3), QStringLiteral("23.50"));
    EXPECT_EQ(RecordCount.load(), 3u);
    EXPECT_TRUE(Channel1Present.load());
    EXPECT_EQ(m_command.openName(), target);
}

TEST_F(ProjectFileCommandTest, SaveIntoAMissingFolderReportsTheFile) {
    const QString target = path("missing/folder/a.vd");
    const auto saved = m_command.save(TableOf(2), target);
    ASSERT_FALSE(saved.ok());
    EXPECT_EQ(saved.error().kind, ProjectSaveError::Kind::FileFailed);
    EXPECT_TRUE(saved.error().message.contains(QStringLiteral("a.vd")))
        << saved.error().message.toStdString();
}

TEST_F(ProjectFileCommandTest, FailedOpenKeepsTheTableAndCountsItsRows) {
    struct Case {
        const char *name;
        QByteArray bytes; // empty: no file at all
    };
    const Case cases[] = {
        {"no file", {}},
        {"truncated header", QByteArray("\x0e\x00", 2)},
        {"negative count", QByteArray("\xff\xff\xff\xff\x01\x00\x00\x00", 8)},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = path(c.name);
        if (!c.bytes.isEmpty()) {
            QFile out(file);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(c.bytes);
        }
        RecordCount = 99;
        ArchiveTable shown = TableOf(2);
        const auto opened = m_command.open(shown, file);
        EXPECT_FALSE(opened.ok());
        EXPECT_FALSE(opened.error().message.isEmpty());
        EXPECT_EQ(shown.rowCount(), 3);
        EXPECT_EQ(shown.cell(7, 2), QStringLiteral("22.50"));
        EXPECT_EQ(RecordCount.load(), 2u);
        EXPECT_EQ(m_command.openName(), file); // the next dialog starts at the file that failed
    }
}

namespace {

class ArchiveReadCommandTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        RecordFields record;
        record.modeCount = 255;
        record.sensor1 = 1;
        const std::string scenario = m_dir.filePath(QStringLiteral("scenario.json")).toStdString();
        std::ofstream(scenario) << R"({"firmware_date": "13.03.2018", "records_hex": [")"
                                << Hex(RecordBytes(2, record)) << R"(", ")" << Hex(RecordBytes(2, record))
                                << R"("]})";
        ::setenv("VELDA9_SIM_SCENARIO", scenario.c_str(), 1);
        LibUSB.useSimulator(true);
        VersionPending = true;
    }
    void TearDown() override {
        m_gate.open();
        StopExchange();
        ShutdownDeviceLink();
        ::unsetenv("VELDA9_SIM_SCENARIO");
        CancelRequested = false;
    }
    ExchangeSetup gatedSetup(std::function<void()> inFirstPause = {}) {
        ExchangeSetup setup;
        setup.sleeper = [this, first = true, inFirstPause](std::chrono::milliseconds) mutable {
            if (!first) return;
            first = false;
            if (inFirstPause) inFirstPause();
            m_gate.wait();
        };
        return setup;
    }

    QTemporaryDir m_dir;
    Gate m_gate;
    ArchiveReadCommand m_read;
};

} // namespace

TEST_F(ArchiveReadCommandTest, ShownTableStaysUntilTheReadEndsThenTakesAllRows) {
    ArchiveTable shown = TableOf(5);
    ASSERT_EQ(m_read.start(shown, gatedSetup(), {}), StartResult::Started);
    m_gate.waitEntered();

    ArchiveReadCommand second;
    EXPECT_EQ(second.start(shown, gatedSetup(), {}), StartResult::Busy);
    EXPECT_FALSE(second.swapInto(shown));
    EXPECT_FALSE(m_read.swapInto(shown)); // not handed over yet
    EXPECT_EQ(shown.rowCount(), 6);

    m_gate.open();
    ASSERT_TRUE(m_read.waitForEnd(std::chrono::seconds(60)));
    EXPECT_EQ(ExchangeStatus.load(), StatusOk);
    ASSERT_TRUE(m_read.swapInto(shown));
    EXPECT_EQ(shown.rowCount(), 3);
    EXPECT_EQ(shown.cell(0, 2), QStringLiteral("2"));
    EXPECT_EQ(shown.cell(7, 0), Pick(kHeaderTexts[7])); // the header row came along
    EXPECT_FALSE(m_read.swapInto(shown));               // handed over once
}

TEST_F(ArchiveReadCommandTest, CancelledReadLeavesTheShownTable) {
    ArchiveTable shown = TableOf(4);
    ASSERT_EQ(m_read.start(shown, gatedSetup([] { CancelRequested = true; }), {}), StartResult::Started);
    m_gate.open();
    ASSERT_TRUE(m_read.waitForEnd(std::chrono::seconds(60)));
    EXPECT_FALSE(m_read.swapInto(shown));
    EXPECT_EQ(shown.rowCount(), 5);
    EXPECT_EQ(shown.cell(7, 4), QStringLiteral("24.50"));
}
