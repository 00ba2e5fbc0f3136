// The report window: what it takes from the table, its preview pages, and printing after previewing.
#include "export/TForm6.h"
#include "export/ReportLines.h"

#include "ExportGuiTestSupport.h"
#include "QtPrinters.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QPrintPreviewDialog>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QTimer>

namespace velda {
namespace {

QStringList PrintToPdf(TForm6 &form, const QString &file) {
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    SetUpReportPage(printer);
    form.QuickRep1Print(&printer);
    return testing::PdfPages(file);
}

TEST(TForm6Test, TakesTheTableAsItIsWhenCreated) {
    testing::App();
    QWidget main;
    ArchiveTable table = testing::NumberedTable(3, 10);
    TForm6 form(table, &main);
    table.setCell(1, 1, QStringLiteral("changed later"));
    EXPECT_EQ(form.document().rowCount, 4);
    ASSERT_EQ(form.document().lines.size(), 4);
    EXPECT_TRUE(form.document().lines[0].startsWith(QStringLiteral("Колонка0Колонка1")));
    for (int r = 1; r < 4; ++r)
        EXPECT_EQ(form.document().lines[r].size(), 106);
    EXPECT_TRUE(form.document().lines[1].startsWith(QStringLiteral("1    1:1")));
    EXPECT_TRUE(form.document().title.startsWith(QStringLiteral("Архив измерений ")));
    EXPECT_FALSE(form.isVisible());
}

TEST(TForm6Test, PreviewShowsThePagesAndPrintingAfterwardsGivesTheSameLines) {
    testing::App();
    QTemporaryDir dir;
    QWidget main;
    const ArchiveTable table = testing::NumberedTable(45, 14);
    const QString project = dir.filePath(QStringLiteral("open.vd"));
    WindowServices services = DefaultWindowServices();
    QStringList errors;
    services.showError = [&errors](QWidget *, const QString &, const QString &text) { errors << text; };
    services.openProject = [project] { return project; };
    TForm6 form(table, &main, services);

    std::unique_ptr<QPrintPreviewDialog> dialog(form.createPreviewDialog());
    dialog->show();
    QApplication::processEvents();
    auto *preview = dialog->findChild<QPrintPreviewWidget *>();
    ASSERT_NE(preview, nullptr);
    preview->updatePreview();
    EXPECT_EQ(preview->pageCount(), 2);
    EXPECT_EQ(form.printer().pageLayout().orientation(), QPageLayout::Landscape);
    dialog->close();

    const QStringList first = PrintToPdf(form, dir.filePath(QStringLiteral("a.pdf")));
    const QStringList second = PrintToPdf(form, dir.filePath(QStringLiteral("b.pdf")));
    ASSERT_EQ(first.size(), 2);
    EXPECT_EQ(first, second);
    EXPECT_TRUE(first[0].contains(QStringLiteral("1:13")));
    EXPECT_TRUE(first[1].contains(QStringLiteral("45:13")));
    EXPECT_TRUE(errors.isEmpty());

    // The open project, also through a link, is no place for the report.
    {
        QFile file(project);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write("kept") == 4);
    }
    const QString link = dir.filePath(QStringLiteral("link.pdf"));
    ASSERT_TRUE(QFile::link(project, link));
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(link);
    form.QuickRep1Print(&printer);
    EXPECT_EQ(errors, QStringList{link + QStringLiteral(": это тот же файл, что и входной ") + project});
    EXPECT_TRUE(printer.outputFileName().isEmpty());
    QFile file(project);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), QByteArray("kept"));
}

TEST(TForm6Test, APdfThatCannotBeWrittenIsSaidAndLeavesNothing) {
    testing::App();
    QTemporaryDir dir;
    QWidget main;
    WindowServices services = DefaultWindowServices();
    QStringList errors;
    services.showError = [&errors](QWidget *, const QString &, const QString &text) { errors << text; };
    TForm6 form(testing::NumberedTable(5, 10), &main, services);
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.pdf")));
    struct Case {
        const char *name;
        QString target;
    };
    const Case cases[] = {
        {"missing folder", dir.filePath(QStringLiteral("no/such/r.pdf"))},
        {"a folder", dir.filePath(QStringLiteral("folder.pdf"))},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        errors.clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(c.target);
        form.QuickRep1Print(&printer);
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].startsWith(c.target)) << errors[0].toStdString();
        EXPECT_FALSE(QFileInfo(c.target).isFile());
    }
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("folder.pdf")});
}

TEST(TForm6Test, ShowPreviewIsModalAndReturnsWhenClosed) {
    testing::App();
    QWidget main;
    TForm6 form(testing::NumberedTable(2, 10), &main);
    bool sawModal = false;
    QTimer::singleShot(0, [&] {
        if (auto *dialog = qobject_cast<QPrintPreviewDialog *>(QApplication::activeModalWidget())) {
            sawModal = true;
            dialog->reject();
        }
    });
    form.showPreview();
    EXPECT_TRUE(sawModal);
}

} // namespace
} // namespace velda
