#include "base/PdfFile.h"

#include "base/FileWriter.h"

#include <QBuffer>
#include <QPainter>
#include <QPdfWriter>

namespace velda {

Result<int, PdfError> WritePdfFile(const QString &fileName, const QString &title,
                                   const std::function<void(QPagedPaintDevice &)> &setUp,
                                   const std::function<int(QPainter &, QPagedPaintDevice &)> &paint) {
    QBuffer pdf;
    pdf.open(QIODevice::WriteOnly);
    int pages = 0;
    {
        QPdfWriter writer(&pdf);
        writer.setResolution(300);
        writer.setCreator(QStringLiteral("VELDA-9"));
        writer.setTitle(title);
        setUp(writer);
        QPainter painter;
        if (!painter.begin(&writer))
            return PdfError{PdfError::Kind::CannotStart,
                            QStringLiteral("Cannot start a PDF document in %1").arg(fileName), std::nullopt};
        pages = paint(painter, writer);
        painter.end();
    }
    if (const auto saved = WriteFileBytes(fileName, pdf.data()); !saved)
        return PdfError{PdfError::Kind::FileFailed, saved.error().message(), saved.error()};
    return pages;
}

} // namespace velda
