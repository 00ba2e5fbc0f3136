// Downloads for the history tests: format-2 records one minute apart from 2024-01-01 00:00 (UTC clock),
// record i with temperature i, so that records of equal index are equal and others differ.
#pragma once

#include "archive/RecordBytes.h"
#include "history/HistoryStore.h"

#include <QDateTime>

namespace velda::test {

inline std::vector<QByteArray> Records(int first, int count) {
    std::vector<QByteArray> records;
    for (int i = first; i < first + count; ++i) {
        const QDateTime at = QDateTime(QDate(2024, 1, 1), QTime(0, 0), Qt::UTC).addSecs(60LL * i);
        RecordFields fields;
        fields.temperature1 = static_cast<float>(i);
        fields.second = 0, fields.minute = static_cast<std::uint8_t>(at.time().minute());
        fields.hour = static_cast<std::uint8_t>(at.time().hour());
        fields.day = static_cast<std::uint8_t>(at.date().day());
        fields.month = static_cast<std::uint8_t>(at.date().month());
        fields.year = static_cast<std::uint8_t>(at.date().year() - 2000);
        const auto bytes = RecordBytes(2, fields);
        records.emplace_back(reinterpret_cast<const char *>(bytes.data()),
                             static_cast<qsizetype>(bytes.size()));
    }
    return records;
}

inline HistoryDownload Download(int first, int count, const QString &uid = {}) {
    HistoryDownload download;
    download.uid = uid;
    download.archiveFormat = 2;
    download.firmwareDate = QStringLiteral("13.03.2018");
    download.readings = Records(first, count);
    return download;
}

} // namespace velda::test
