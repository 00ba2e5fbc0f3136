// Report form and its print preview.
#include "export/TForm6.h"

#include "base/FileTarget.h"
#include "export/ReportLines.h"

#include <QDir>
#include <QGraphicsView>
#include <QPainter>
#include <QPrintPreviewDialog>
#include <QPrinter>
#include <QPrinterInfo>

namespace velda {

TForm6::TForm6(const ArchiveTable &table, QWidget *parent, WindowServices services)
    : QWidget(parent, Qt::Window), m_services(std::move(services)), m_document(MakeReportDocument(table)),
      m_printer(std::make_unique<QPrinter>(QPrinter::HighResolution)) {
    setObjectName(QStringLiteral("Form6"));
    setWindowTitle(m_document.title);
    // Qt proposes the document name for a printed PDF; the title's date and time carry separators that
    // a file name should not.
    m_printer->setDocName(SafeFileName(m_document.title));
    // Without a printer the PDF is the only way out: it is proposed in the folder last used.
    if (QPrinterInfo::availablePrinterNames().isEmpty())
        m_printer->setOutputFileName(
            QDir(LastUsedFolder()).filePath(m_printer->docName() + QStringLiteral(".pdf")));
    SetUpReportPage(*m_printer);
}

TForm6::~TForm6() = default;

QPrintPreviewDialog *TForm6::createPreviewDialog() {
    auto *dialog = new QPrintPreviewDialog(m_printer.get(), parentWidget() ? parentWidget() : this);
    dialog->setWindowTitle(m_document.title);
    dialog->setWindowModality(Qt::ApplicationModal);
    connect(dialog, &QPrintPreviewDialog::paintRequested, this, &TForm6::QuickRep1Print);
    // The preview fits the page to its view; a scroll bar that comes and goes with the fit changes the
    // view's size again, and at some window sizes the two chase each other for ever and the window
    // hangs. Scroll bars that are always there keep the view's size steady.
    for (QGraphicsView *view : dialog->findChildren<QGraphicsView *>()) {
        view->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    }
    return dialog;
}

void TForm6::showPreview() {
    std::unique_ptr<QPrintPreviewDialog> dialog(createPreviewDialog());
    dialog->exec();
}

void TForm6::QuickRep1Print(QPrinter *printer) {
    m_services.printPages(*printer, this, m_document.title,
                          [this](QPainter &painter, QPagedPaintDevice &page) {
                              return PaintReport(painter, page, m_document);
                          });
}

} // namespace velda
