// Building the clipboard texts of the archive table.
#include "app/ClipboardText.h"

#include "app/MainTexts.h"

namespace velda {

namespace {

constexpr int kTabStop = 8;
const QString kRowEnd = QStringLiteral("\r\n");

// Drops the row's trailing character (its last separator or padding TAB) and ends the row.
void endRow(QString &text, qsizetype rowStart) {
    if (text.size() > rowStart) text.chop(1);
    text += kRowEnd;
}

} // namespace

QString TableText(const ArchiveTable &table) {
    const QString paddedHeaders[] = {Pick(TxtDate), Pick(TxtTime), Pick(TxtMode), Pick(TxtSensor)};
    QString text;
    for (int r = 0; r < table.rowCount(); ++r) {
        const qsizetype rowStart = text.size();
        for (int k = 0; k < table.colCount(); ++k) {
            const QString cell = table.cell(k, r);
            text += cell;
            text += QLatin1Char('\t');
            if (r == 0) {
                for (const QString &header : paddedHeaders) {
                    if (cell == header) {
                        text += QLatin1Char('\t');
                        break;
                    }
                }
            } else {
                const qsizetype h = table.cell(k, 0).size();
                if (h > cell.size() && h >= kTabStop) text += QString(h / kTabStop, QLatin1Char('\t'));
            }
        }
        endRow(text, rowStart);
    }
    return text;
}

QString BlockText(const ArchiveTable &table, const Selection &selection) {
    QString text;
    for (int r = selection.top; r <= selection.bottom; ++r) {
        const qsizetype rowStart = text.size();
        for (int k = selection.left; k <= selection.right; ++k) {
            text += table.cell(k, r);
            text += QLatin1Char('\t');
        }
        endRow(text, rowStart);
    }
    return text;
}

std::optional<QString> CopyCommandText(const ArchiveTable &table, const Selection &selection, bool wholeTable,
                                       std::uint32_t recordCount) {
    if (!ClipboardCopyAllowed(recordCount)) return std::nullopt;
    return wholeTable ? TableText(table) : BlockText(table, selection);
}

} // namespace velda
