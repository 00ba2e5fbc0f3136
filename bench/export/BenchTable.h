// A realistic 14-column archive table for the export benchmarks, and the process's peak memory.
#pragma once

#include "base/ArchiveTable.h"

#include <QFile>
#include <QString>

#include <chrono>

namespace velda::bench {

inline ArchiveTable MakeArchive(int records) {
    ArchiveTable table;
    table.setColCount(14);
    table.setRowCount(records + 1);
    const char *headers[] = {"№",     "Время", "Дата",     "Режим",  "Номер", "Серия", "Датчик",
                             "T, °C", "H, %",  "Q, Вт/m2", "Датчик", "T, °C", "H, %",  "Q, Вт/m2"};
    for (int c = 0; c < 14; ++c)
        table.setCell(c, 0, QString::fromUtf8(headers[c]));
    for (int r = 1; r <= records; ++r) {
        const int s = r * 37;
        table.setCell(0, r, QString::number(r));
        table.setCell(1, r,
                      QStringLiteral("%1:%2:%3")
                          .arg(s / 3600 % 24, 2, 10, QLatin1Char('0'))
                          .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
                          .arg(s % 60, 2, 10, QLatin1Char('0')));
        table.setCell(2, r, QStringLiteral("%1.03.2026").arg(1 + r % 28, 2, 10, QLatin1Char('0')));
        table.setCell(3, r, QStringLiteral("По сериям"));
        table.setCell(4, r, QStringLiteral("%1 | %2").arg(r % 100).arg(100));
        table.setCell(5, r, QString::number(r / 100));
        table.setCell(6, r, QStringLiteral("Влажность    "));
        table.setCell(7, r, QStringLiteral("%1,%2").arg(20 + r % 10).arg(r % 100, 2, 10, QLatin1Char('0')));
        table.setCell(8, r, QStringLiteral("%1,%2").arg(40 + r % 30).arg(r % 97, 2, 10, QLatin1Char('0')));
        table.setCell(9, r, QStringLiteral("%1,%2").arg(5 + r % 7).arg(r % 89, 2, 10, QLatin1Char('0')));
        table.setCell(10, r, QStringLiteral("ТХА          "));
        table.setCell(11, r, QStringLiteral("-%1,%2").arg(r % 40).arg(r % 100, 2, 10, QLatin1Char('0')));
        table.setCell(12, r, QString());
        table.setCell(13, r, QStringLiteral("%1,00").arg(r % 500));
    }
    return table;
}

/// Peak resident memory of the process so far, in kB (VmHWM).
inline long PeakKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').front().toLong();
    }
    return -1;
}

inline double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace velda::bench
