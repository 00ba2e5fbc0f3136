// Shared helpers of the export window tests: the application object, tables, pdftotext.
#pragma once

#include "base/ArchiveTable.h"

#include <QApplication>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

namespace velda::testing {

/// The application object of the test program: made before the first test and destroyed after the last
/// one (by ExportGuiTestApp.cpp), while Qt's own globals still exist.
inline QApplication &App() {
    return *static_cast<QApplication *>(QCoreApplication::instance());
}

/// Header row of texts, then `records` rows whose column 0 is the record number and the rest "r:c".
inline ArchiveTable NumberedTable(int records, int columns) {
    ArchiveTable table;
    table.setColCount(columns);
    table.setRowCount(records + 1);
    for (int c = 0; c < columns; ++c)
        table.setCell(c, 0, QStringLiteral("Колонка%1").arg(c));
    for (int r = 1; r <= records; ++r) {
        table.setCell(0, r, QString::number(r));
        for (int c = 1; c < columns; ++c)
            table.setCell(c, r, QStringLiteral("%1:%2").arg(r).arg(c));
    }
    return table;
}

/// The text of each page of a PDF, as pdftotext lays it out.
inline QStringList PdfPages(const QString &path) {
    QProcess process;
    process.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    EXPECT_TRUE(process.waitForFinished(120000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    QStringList pages = QString::fromUtf8(process.readAllStandardOutput()).split(QLatin1Char('\f'));
    if (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
    return pages;
}

} // namespace velda::testing
