// The real desktop services of the windows and the rule that keeps a save off the open project.
#include "base/WindowServices.h"

#include "base/FileTarget.h"
#include "base/FileWriter.h"
#include "base/PdfFile.h"
#include "base/SharedTexts.h"

#include <QColorDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QPaintEngine>
#include <QPainter>
#include <QPrinter>

namespace velda {

std::optional<QString> WindowServices::refusedTarget(const QString &target) const {
    const QString project = openProject ? openProject() : QString();
    if (project.isEmpty() || target.isEmpty()) return std::nullopt;
    OutputRules rules;
    rules.inputs = QStringList{project};
    const auto checked = CheckOutputTarget(target, rules);
    if (checked || checked.error().kind != FileError::Kind::SameAsInput) return std::nullopt;
    return checked.error().message();
}

void WindowServices::printPages(QPrinter &printer, QWidget *parent, const QString &title,
                                const std::function<int(QPainter &, QPagedPaintDevice &)> &paint) const {
    // The preview paints on the same printer through an engine of its own, which stays.
    const bool toPdfFile = printer.outputFormat() == QPrinter::PdfFormat &&
                           !printer.outputFileName().isEmpty() && printer.paintEngine() != nullptr &&
                           printer.paintEngine()->type() == QPaintEngine::Pdf;
    if (!toPdfFile) {
        QPainter painter;
        if (!painter.begin(&printer)) return;
        paint(painter, printer);
        painter.end();
        return;
    }
    if (const std::optional<QString> refused = refusedTarget(printer.outputFileName())) {
        printer.setOutputFileName(QString());
        showError(parent, Pick(TxtError), *refused);
        return;
    }
    const auto written = WritePdfFile(
        printer.outputFileName(), title,
        [&printer](QPdfWriter &pdf) {
            pdf.setResolution(printer.resolution());
            pdf.setPageLayout(printer.pageLayout());
        },
        paint);
    if (!written) showError(parent, Pick(TxtError), written.error().message);
}

WindowServices DefaultWindowServices() {
    WindowServices services;
    services.showError = [](QWidget *parent, const QString &caption, const QString &text) {
        QMessageBox box(QMessageBox::Critical, caption, text, QMessageBox::Ok, parent);
        box.exec();
    };
    services.runFileDialog = [](QFileDialog &dialog) -> std::optional<QString> {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
        return dialog.selectedFiles().constFirst();
    };
    services.pickColour = [](const QColor &initial, QWidget *parent) -> std::optional<QColor> {
        const QColor chosen = QColorDialog::getColor(initial, parent);
        return chosen.isValid() ? std::optional<QColor>(chosen) : std::nullopt;
    };
    services.openSettings = [] { return OpenUserSettings(); };
    services.openProject = [] { return QString(); };
    return services;
}

} // namespace velda
