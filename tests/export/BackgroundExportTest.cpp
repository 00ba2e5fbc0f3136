// The export on its worker thread: result hand-over, cancel, and destruction while it runs.
#include "export/BackgroundExport.h"

#include "QtPrinters.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace velda::xlsx {
namespace {

ArchiveTable Table(int rows) {
    ArchiveTable table;
    table.setColCount(14);
    table.setRowCount(rows);
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < 14; ++c)
            table.setCell(c, r, QStringLiteral("%1.%2").arg(r).arg(c));
    }
    return table;
}

QStringList Entries(const QTemporaryDir &dir) {
    return QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot);
}

TEST(BackgroundExportTest, HandsOverTheResultAndCountsEveryRow) {
    QTemporaryDir dir;
    const ArchiveTable table = Table(3000);
    BackgroundExport worker(table, QStringLiteral("Archive of measurements "),
                            dir.filePath(QStringLiteral("t.xlsx")));
    EXPECT_EQ(worker.rowsTotal(), 3000);
    const ExportResult result = worker.wait();
    ASSERT_TRUE(result.ok()) << result.error().message.toStdString();
    EXPECT_TRUE(worker.finished());
    EXPECT_EQ(worker.rowsWritten(), 3000);
    EXPECT_EQ(Entries(dir), QStringList{QStringLiteral("t.xlsx")});
    EXPECT_FALSE(worker.wait().ok()) << "the result is handed over once";
}

TEST(BackgroundExportTest, CancelOrDestructionLeavesTheOldFile) {
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("t.xlsx"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    const ArchiveTable table = Table(100000);
    {
        BackgroundExport worker(table, QStringLiteral("A "), target);
        worker.cancel();
        const ExportResult result = worker.wait();
        ASSERT_FALSE(result.ok());
        EXPECT_EQ(result.error().kind, ExportError::Kind::Cancelled);
    }
    { BackgroundExport abandoned(table, QStringLiteral("A "), target); }
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old"));
    EXPECT_EQ(Entries(dir), QStringList{QStringLiteral("t.xlsx")});
}

} // namespace
} // namespace velda::xlsx
