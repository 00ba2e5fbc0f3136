// Fuzz target: project-file load. Any bytes either load into a table, or give an error that names the
// file and leaves the table as it was; a loaded table saves and loads back to the same bytes.
#include "FuzzCheck.h"

#include "archive/ProjectFile.h"
#include "base/ArchiveTable.h"

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace {

using velda::ArchiveTable;

// Columns compared beyond the widest table, so a write outside the shown size is seen too.
constexpr int kComparedCols = ArchiveTable::kMaxColCount + 2;

bool SameCells(const ArchiveTable &a, const ArchiveTable &b, int cols, int rows) {
    for (int row = 0; row < rows; ++row)
        for (int col = 0; col < cols; ++col)
            if (a.cellBytes(col, row) != b.cellBytes(col, row)) return false;
    return true;
}

ArchiveTable SentinelTable() {
    ArchiveTable table;
    table.setColCount(ArchiveTable::kMaxColCount);
    table.setRowCount(3);
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < ArchiveTable::kMaxColCount; ++col)
            table.setCellBytes(col, row, "before " + std::to_string(col) + "/" + std::to_string(row));
    return table;
}

QByteArray FileBytes(const QString &path) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::ReadOnly));
    return file.readAll();
}

void WriteFile(const QString &path, const std::uint8_t *data, std::size_t size) {
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size)) ==
               static_cast<qint64>(size));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    static QTemporaryDir dir;
    FUZZ_CHECK(dir.isValid());
    const QString input = dir.filePath(QStringLiteral("input.vd"));
    const QString first = dir.filePath(QStringLiteral("first.vd"));
    const QString second = dir.filePath(QStringLiteral("second.vd"));
    WriteFile(input, data, size);

    ArchiveTable table = SentinelTable();
    const ArchiveTable before = SentinelTable();
    const auto loaded = velda::ReadProject(table, input);
    if (!loaded) {
        const velda::ProjectError &error = loaded.error();
        FUZZ_CHECK(error.message.startsWith(QStringLiteral("input.vd: ")));
        FUZZ_CHECK(!error.message.contains(QLatin1Char('\n')));
        FUZZ_CHECK(error.offset >= -1 && error.offset <= static_cast<qint64>(size));
        FUZZ_CHECK(table.colCount() == before.colCount() && table.rowCount() == before.rowCount());
        FUZZ_CHECK(table.storedRowCount() == before.storedRowCount());
        FUZZ_CHECK(SameCells(table, before, kComparedCols, before.storedRowCount()));
        return 0;
    }

    const velda::LoadedProject &project = loaded.value();
    FUZZ_CHECK(size >= 10);
    FUZZ_CHECK(project.colCount == table.colCount() && project.rowCount == table.rowCount());
    FUZZ_CHECK(project.recordCount == (project.rowCount > 0 ? std::uint32_t(project.rowCount - 1) : 0U));
    FUZZ_CHECK(project.flags.channel1 == (data[0] != 0) && project.flags.channel2 == (data[1] != 0));
    // Every cell of a count of c x r takes at least four bytes of the file.
    FUZZ_CHECK(static_cast<std::size_t>(project.colCount) * static_cast<std::size_t>(project.rowCount) * 4 <=
               size - 10);
    // Nothing of the earlier content may survive a load: outside the loaded size every cell is empty
    // (inside it, the file's own cells may read anything, "before " included).
    for (int row = 0; row < std::max(table.storedRowCount(), before.storedRowCount()); ++row)
        for (int col = 0; col < kComparedCols; ++col) {
            const std::string_view cell = table.cellBytes(col, row);
            FUZZ_CHECK(cell.find('\0') == std::string_view::npos);
            if (row >= project.rowCount || col >= project.colCount) FUZZ_CHECK(cell.empty());
        }

    const auto saved = velda::SaveProject(table, first, project.flags);
    FUZZ_CHECK(saved.ok());
    const QByteArray firstBytes = FileBytes(first);
    FUZZ_CHECK(saved.value() == firstBytes.size());
    FUZZ_CHECK(firstBytes.size() <= static_cast<qint64>(size));

    ArchiveTable again;
    const auto reloaded = velda::ReadProject(again, first);
    FUZZ_CHECK(reloaded.ok());
    FUZZ_CHECK(reloaded.value().colCount == project.colCount &&
               reloaded.value().rowCount == project.rowCount);
    FUZZ_CHECK(reloaded.value().flags == project.flags);
    FUZZ_CHECK(SameCells(table, again, project.colCount, project.rowCount));
    FUZZ_CHECK(velda::SaveProject(again, second, project.flags).ok());
    FUZZ_CHECK(FileBytes(second) == firstBytes);
    return 0;
}
