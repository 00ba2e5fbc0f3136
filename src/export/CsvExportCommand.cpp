// File dialog, refusal and progress of the CSV export.
#include "export/CsvExportCommand.h"

#include "base/SharedTexts.h"
#include "base/SystemFormats.h"
#include "export/SpreadsheetExportCommand.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QLabel>
#include <QMessageBox>

#include <array>
#include <memory>

namespace velda {
namespace {

constexpr std::array<char, 3> kDelimiters{';', ',', '\t'};

void ShowErrorBox(const QString &text, const QString &caption, const QString &detail = {}) {
    QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok);
    box.setObjectName(QStringLiteral("ExportMessage"));
    if (!detail.isEmpty()) box.setInformativeText(detail);
    box.exec();
}

} // namespace

CsvExportCommand::CsvExportCommand(QObject *parent)
    : QObject(parent), m_fileName(QStringLiteral("Arhive.csv")) {}

QFileDialog *CsvExportCommand::createDialog(QWidget *parent, const ArchiveTable &table) {
    auto *dialog = new QFileDialog(parent, Pick(TxtSaveToCsv));
    dialog->setObjectName(QStringLiteral("CsvDialog"));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    // The Qt dialog, so that the delimiter and date choices can sit under the file type.
    dialog->setOption(QFileDialog::DontUseNativeDialog);
    dialog->setNameFilters(Pick(TxtCsvFilters).split(QStringLiteral(";;")));
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    if (!m_fileName.isEmpty()) dialog->selectFile(m_fileName);

    auto *delimiter = new QComboBox(dialog);
    delimiter->setObjectName(QStringLiteral("CsvDelimiter"));
    delimiter->addItem(Pick(TxtCsvSemicolon));
    delimiter->addItem(Pick(TxtCsvComma));
    delimiter->addItem(Pick(TxtCsvTab));
    // A delimiter that is the cells' decimal separator would cut every value in two.
    const std::optional<QChar> separator = csv::DecimalSeparatorInCells(table);
    const bool lastFits = m_delimiter && (!separator || QLatin1Char(*m_delimiter) != *separator);
    const char chosen = lastFits ? *m_delimiter : csv::DelimiterFor(table, CurrentFormats());
    delimiter->setCurrentIndex(
        static_cast<int>(std::find(kDelimiters.begin(), kDelimiters.end(), chosen) - kDelimiters.begin()));
    auto *isoDate = new QCheckBox(Pick(TxtCsvIsoDate), dialog);
    isoDate->setObjectName(QStringLiteral("CsvIsoDate"));
    isoDate->setChecked(m_isoDate);
    if (auto *grid = qobject_cast<QGridLayout *>(dialog->layout())) {
        const int row = grid->rowCount();
        grid->addWidget(new QLabel(Pick(TxtCsvDelimiter), dialog), row, 0);
        grid->addWidget(delimiter, row, 1);
        grid->addWidget(isoDate, row + 1, 1);
    }
    return dialog;
}

void CsvExportCommand::run(QWidget *parent, const ArchiveTable &table, const QString &openProject) {
    m_lastResult.reset();
    QString chosen;
    csv::CsvOptions options;
    {
        std::unique_ptr<QFileDialog> dialog(createDialog(parent, table));
        if (dialog->exec() != QDialog::Accepted || dialog->selectedFiles().isEmpty()) return;
        chosen = dialog->selectedFiles().front();
        const int index = dialog->findChild<QComboBox *>(QStringLiteral("CsvDelimiter"))->currentIndex();
        options.delimiter = kDelimiters.at(static_cast<std::size_t>(std::max(index, 0)));
        options.isoDate = dialog->findChild<QCheckBox *>(QStringLiteral("CsvIsoDate"))->isChecked();
    }
    m_fileName = chosen;
    m_delimiter = options.delimiter;
    m_isoDate = options.isoDate;
    if (TableIsEmpty(table)) {
        ShowErrorBox(Pick(TxtArchiveNotRead), Pick(TxtError));
        return;
    }
    if ((m_lastResult = RefuseExportTarget(chosen, openProject))) return;
    const SystemFormats formats = CurrentFormats();
    m_lastResult =
        ExportWithProgressDialog(parent, Pick(TxtSaveToCsv), table.rowCount(),
                                 [&table, chosen, options, formats](const csv::ExportProgress &progress) {
                                     return csv::ExportToCsv(table, chosen, options, formats, progress);
                                 });
    if (!m_lastResult->ok() && m_lastResult->error().kind != csv::ExportError::Kind::Cancelled)
        ShowErrorBox(Pick(TxtExportError), Pick(TxtWarning), m_lastResult->error().message);
}

} // namespace velda
