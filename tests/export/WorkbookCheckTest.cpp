// The read-back check of finished workbooks: a real export passes, every kind of cut or damaged
// container is named.
#include "export/WorkbookCheck.h"

#include "QtPrinters.h"
#include "base/ArchiveTable.h"
#include "export/SpreadsheetExport.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <zlib.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace velda;

namespace {

void PutLe(QByteArray &out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.append(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A zip container with stored (uncompressed) parts, as small as the format allows.
QByteArray StoredZip(const std::vector<std::pair<QByteArray, QByteArray>> &parts) {
    QByteArray zip;
    QByteArray directory;
    for (const auto &[name, data] : parts) {
        const auto crc = static_cast<std::uint32_t>(
            crc32(0L, reinterpret_cast<const Bytef *>(data.constData()), static_cast<uInt>(data.size())));
        const auto offset = static_cast<std::uint32_t>(zip.size());
        PutLe(zip, 0x04034b50, 4);
        PutLe(zip, 20, 2);
        PutLe(zip, 0, 2);
        PutLe(zip, 0, 2);
        PutLe(zip, 0, 4);
        PutLe(zip, crc, 4);
        PutLe(zip, static_cast<std::uint32_t>(data.size()), 4);
        PutLe(zip, static_cast<std::uint32_t>(data.size()), 4);
        PutLe(zip, static_cast<std::uint32_t>(name.size()), 2);
        PutLe(zip, 0, 2);
        zip += name + data;
        PutLe(directory, 0x02014b50, 4);
        PutLe(directory, 20, 2);
        PutLe(directory, 20, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 4);
        PutLe(directory, crc, 4);
        PutLe(directory, static_cast<std::uint32_t>(data.size()), 4);
        PutLe(directory, static_cast<std::uint32_t>(data.size()), 4);
        PutLe(directory, static_cast<std::uint32_t>(name.size()), 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 2);
        PutLe(directory, 0, 4);
        PutLe(directory, offset, 4);
        directory += name;
    }
    const auto directoryAt = static_cast<std::uint32_t>(zip.size());
    zip += directory;
    PutLe(zip, 0x06054b50, 4);
    PutLe(zip, 0, 4);
    PutLe(zip, static_cast<std::uint32_t>(parts.size()), 2);
    PutLe(zip, static_cast<std::uint32_t>(parts.size()), 2);
    PutLe(zip, static_cast<std::uint32_t>(directory.size()), 4);
    PutLe(zip, directoryAt, 4);
    PutLe(zip, 0, 2);
    return zip;
}

const QByteArray kSheet =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
    "<worksheet xmlns=\"x\"><sheetData><row r=\"1\"><c r=\"A1\"/></row></sheetData></worksheet>\n";

class WorkbookCheckTest : public ::testing::Test {
protected:
    QString write(const QByteArray &bytes) {
        const QString path = m_dir.filePath(QStringLiteral("w.xlsx"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }
    QByteArray exported() {
        ArchiveTable table;
        table.setColCount(ArchiveTable::kMaxColCount);
        table.setRowCount(400);
        for (int row = 0; row < 400; ++row)
            for (int col = 0; col < ArchiveTable::kMaxColCount; ++col)
                table.setCell(col, row, QStringLiteral("%1.%2").arg(row).arg(col));
        const QString path = m_dir.filePath(QStringLiteral("export.xlsx"));
        EXPECT_TRUE(xlsx::ExportToSpreadsheet(table, QStringLiteral("Sheet"), path).ok());
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }
    QTemporaryDir m_dir;
};

TEST_F(WorkbookCheckTest, AFinishedExportPasses) {
    EXPECT_TRUE(xlsx::CheckWorkbookFile(write(exported())).ok());
    EXPECT_TRUE(xlsx::CheckWorkbookFile(write(StoredZip({{"xl/worksheets/sheet1.xml", kSheet}}))).ok());
}

TEST_F(WorkbookCheckTest, CutAndDamagedContainersAreNamed) {
    const QByteArray good = exported();
    // Deflated data of the first part starts after its 30-byte local header and its name.
    const int firstData = 30 + static_cast<int>(static_cast<unsigned char>(good[26]));
    struct Case {
        const char *name;
        QByteArray bytes;
        const char *expected;
    };
    QByteArray flipped = good;
    flipped[firstData + 5] = static_cast<char>(flipped[firstData + 5] ^ 0x5A);
    const std::vector<Case> cases{
        {"empty file", QByteArray(), "is empty"},
        {"cut before the directory end", good.left(good.size() - 10), "no zip directory"},
        {"cut in half", good.left(good.size() / 2), "no zip directory"},
        {"damaged compressed data", flipped, "[Content_Types].xml: "},
        {"sheet cut with a matching CRC",
         StoredZip({{"[Content_Types].xml", "<?xml?>\n<Types></Types>"},
                    {"xl/worksheets/sheet1.xml", kSheet.left(kSheet.size() - 40)}}),
         "xl/worksheets/sheet1.xml: the XML is cut off"},
        {"sheet cut inside its declaration", StoredZip({{"xl/workbook.xml", kSheet.left(20)}}), "cut off"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto checked = xlsx::CheckWorkbookFile(write(c.bytes));
        ASSERT_FALSE(checked.ok());
        EXPECT_TRUE(checked.error().message.contains(QString::fromLatin1(c.expected)))
            << checked.error().message.toStdString();
    }
}

} // namespace
