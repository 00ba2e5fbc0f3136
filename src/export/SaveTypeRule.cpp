// File types of the workbook save dialog.
#include "export/SaveTypeRule.h"

namespace velda::xlsx {

QStringList SaveDialogFilters() {
    return {QStringLiteral("Exel 2003 (*.xls)"), QStringLiteral("Exel 2007 (*.xlsx)"),
            QStringLiteral("All Files (*)")};
}

QString SaveTypeExtension(int typeIndex) {
    return typeIndex == 1 ? QStringLiteral(".xlsx") : QStringLiteral(".xls");
}

QString SaveDialog1TypeChange(const QString &fileName, int typeIndex) {
    const QString extension = SaveTypeExtension(typeIndex);
    return fileName.contains(extension) ? fileName : fileName + extension;
}

} // namespace velda::xlsx
