// The workbook save dialog's file types and how picking a type completes the file name.
#pragma once

#include <QString>
#include <QStringList>

namespace velda::xlsx {

/// The dialog's file types, in order: .xls, .xlsx, all files.
[[nodiscard]] QStringList SaveDialogFilters();

/// The file name first offered by the dialog in a run.
inline constexpr const char *kInitialExportName = "Arhive";

/// The extension of file type `typeIndex` (0-based): ".xls", ".xlsx", and ".xls" for "All Files".
[[nodiscard]] QString SaveTypeExtension(int typeIndex);

/// The dialog's file name after the user picks file type `typeIndex`: unchanged when it already contains
/// that type's extension anywhere (".xlsx" contains ".xls"), else with the extension appended.
[[nodiscard]] QString SaveDialog1TypeChange(const QString &fileName, int typeIndex);

} // namespace velda::xlsx
