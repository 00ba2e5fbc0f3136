// Chart pictures of the graph window, offscreen: saved as shown and decoded back (PNG size, SVG texts,
// PDF pages), and the Save picture button's dialog.
#include "graph/ChartPicture.h"

#include "QtPrinters.h"
#include "archive/ArchiveRecord.h"
#include "archive/TableFill.h"
#include "base/Texts.h"
#include "graph/TForm4.h"
#include "sim/SimArchive.h"

#include <QApplication>
#include <QChartView>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QValueAxis>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <memory>

using namespace velda;

namespace {

QApplication *App() {
    static int argc = 1;
    static char name[] = "ChartPictureTest";
    static char *argv[] = {name, nullptr};
    static auto *app = new QApplication(argc, argv);
    return app;
}

// 300 quarter-hourly records of both channels (format 2), filled with the Russian formats.
ArchiveTable GeneratedTable() {
    std::vector<std::uint8_t> bytes;
    for (const sim::Bytes &record : sim::GenerateArchive(2, 300, 7))
        bytes.insert(bytes.end(), record.begin(), record.end());
    ArchiveTable table;
    FillArchiveTable(table, bytes, 300, 2);
    table.setColCount(14);
    return table;
}

// The runs of every <text> element of an SVG, joined; empty when the file is no well-formed XML.
QString SvgText(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    QXmlStreamReader xml(&file);
    QString text;
    while (!xml.atEnd())
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
            text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
    return xml.hasError() ? QString() : text;
}

class ChartPictureTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        App();
        SetCurrentFormats(SystemFormats::FromLocale(QLocale(QLocale::Russian, QLocale::Russia)));
        LanguageIndex = 0;
    }
    void SetUp() override {
        m_services.showError = [this](QWidget *, const QString &, const QString &text) {
            m_errors.append(text);
        };
        m_table = GeneratedTable();
        m_table.setChannels({true, true});
        m_form = std::make_unique<TForm4>(m_table, nullptr, m_services);
        m_form->show();
        QCoreApplication::processEvents();
        ASSERT_TRUE(m_errors.isEmpty()) << m_errors.join(QLatin1Char('\n')).toStdString();
    }
    void TearDown() override { m_form.reset(); }

    QString path(const char *name) const { return m_dir.filePath(QString::fromLatin1(name)); }

    QStringList m_errors;
    WindowServices m_services = DefaultWindowServices();
    ArchiveTable m_table;
    std::unique_ptr<TForm4> m_form;
    QTemporaryDir m_dir;
};

TEST(ChartPictureRules, FormatBySuffixAndSizeByShownAspect) {
    EXPECT_EQ(PictureFormatOf(QStringLiteral("a.png")), PictureFormat::Png);
    EXPECT_EQ(PictureFormatOf(QStringLiteral("/x/Graph.SVG")), PictureFormat::Svg);
    EXPECT_EQ(PictureFormatOf(QStringLiteral("a.b.Pdf")), PictureFormat::Pdf);
    EXPECT_EQ(PictureFormatOf(QStringLiteral("apng")), std::nullopt);
    EXPECT_EQ(PictureFormatOf(QStringLiteral("a.bmp")), std::nullopt);
    struct Case {
        QSize shown;
        QSize picture;
    };
    for (const Case &c : {Case{{800, 500}, {1600, 1000}}, Case{{1000, 1000}, {1000, 1000}},
                          Case{{1012, 400}, {1600, 632}}, Case{{0, 0}, {1600, 1000}}}) {
        SCOPED_TRACE(c.shown.width());
        EXPECT_EQ(PictureSizeFor(c.shown), c.picture);
    }
}

TEST_F(ChartPictureTest, SavesTheChartAsShownInEachFormat) {
    // Humidity instead of temperature on channel 1: the picture must show the changed title.
    m_form->RadioButton2->click();
    QCoreApplication::processEvents();
    const QString leftTitle = m_form->LeftAxis->titleText();
    ASSERT_TRUE(leftTitle.contains(QStringLiteral("Влажность"))) << leftTitle.toStdString();

    const QSize expected = PictureSizeFor(m_form->Chart1->size());
    const auto png = SaveChartViewPicture(m_form->Chart1, path("shown.png"), QStringLiteral("t"));
    ASSERT_TRUE(png.ok()) << png.error().reason.toStdString();
    const QImage image(path("shown.png"));
    EXPECT_EQ(image.size(), expected);
    EXPECT_EQ(image.devicePixelRatio(), 1.0);
    // Not blank: a plotted line leaves pixels that are neither white nor grey.
    int coloured = 0;
    for (int y = 0; y < image.height(); y += 4)
        for (int x = 0; x < image.width(); x += 4) {
            const QColor c = image.pixelColor(x, y);
            coloured += std::abs(c.red() - c.blue()) > 80 ? 1 : 0;
        }
    EXPECT_GT(coloured, 20);

    ASSERT_TRUE(SaveChartViewPicture(m_form->Chart1, path("shown.svg"), QStringLiteral("График")).ok());
    const QString text = SvgText(path("shown.svg"));
    EXPECT_TRUE(text.contains(QStringLiteral("Влажность, % Канал 1"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("Канал 2"))) << text.toStdString();

    ASSERT_TRUE(SaveChartViewPicture(m_form->Chart1, path("shown.pdf"), QStringLiteral("t")).ok());
    QProcess info;
    info.start(QStringLiteral("pdfinfo"), {path("shown.pdf")});
    ASSERT_TRUE(info.waitForFinished(60000));
    EXPECT_TRUE(info.readAllStandardOutput().contains("Pages:           1"));
}

// A small picture (the command line's smallest is 200 x 200) shows fewer labels, each whole: no label or
// title is cut to an ellipsis, and the time axis keeps two labels at least.
TEST_F(ChartPictureTest, SmallPicturesThinTheLabelsInsteadOfCuttingThem) {
    for (const QSize size : {QSize(200, 200), QSize(600, 200), QSize(200, 500)}) {
        SCOPED_TRACE(size.width() * 1000 + size.height());
        TForm4 form(m_table, nullptr, m_services);
        ASSERT_TRUE(SaveChartAtSize(form.chart, path("small.svg"), size, QStringLiteral("t")).ok());
        int timeLabels = 0;
        for (QGraphicsItem *item : form.chart->scene()->items()) {
            const auto *text = dynamic_cast<QGraphicsTextItem *>(item);
            if (!text || !text->isVisible()) continue;
            EXPECT_FALSE(text->toPlainText().endsWith(QStringLiteral("...")))
                << text->toPlainText().toStdString();
            timeLabels += text->sceneBoundingRect().top() >= form.chart->plotArea().bottom() ? 1 : 0;
        }
        EXPECT_GE(timeLabels, 2);
    }
}

TEST_F(ChartPictureTest, FailureLeavesNoFileAndNamesTheReason) {
    struct Case {
        const char *name;
        QString path;
        PictureError::Kind kind;
        std::optional<FileError::Kind> fileKind;
    };
    const Case cases[] = {
        {"folder", path("folder.png"), PictureError::Kind::FileFailed, FileError::Kind::IsFolder},
        {"missing folder", path("no/such.png"), PictureError::Kind::FileFailed,
         FileError::Kind::MissingFolder},
        {"other extension", path("chart.bmp"), PictureError::Kind::WrongExtension, std::nullopt},
    };
    ASSERT_TRUE(QDir(m_dir.path()).mkdir(QStringLiteral("folder.png")));
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto saved = SaveChartViewPicture(m_form->Chart1, c.path, QStringLiteral("t"));
        ASSERT_FALSE(saved.ok());
        EXPECT_EQ(saved.error().kind, c.kind);
        EXPECT_FALSE(saved.error().reason.isEmpty());
        EXPECT_EQ(saved.error().file ? std::optional(saved.error().file->kind) : std::nullopt, c.fileKind);
    }
    EXPECT_FALSE(QFile::exists(path("chart.bmp")));
}

TEST_F(ChartPictureTest, ButtonAsksForANameAndCompletesTheSuffix) {
    ASSERT_NE(m_form->Button2, nullptr);
    EXPECT_EQ(m_form->Button2->text(), QStringLiteral("Сохранить рисунок..."));
    EXPECT_EQ(m_form->Button2->parentWidget(), m_form->Button1->parentWidget());
    QString offered;
    QTimer::singleShot(0, [&] {
        auto *dialog = qobject_cast<QFileDialog *>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        auto *name = dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"));
        offered = name->text();
        dialog->selectNameFilter(dialog->nameFilters().at(1));
        Q_EMIT dialog->filterSelected(dialog->nameFilters().at(1));
        name->setText(path("picked"));
        static_cast<QDialog *>(dialog)->accept();
    });
    m_form->Button2->click();
    EXPECT_EQ(offered, QStringLiteral("Graph.png"));
    EXPECT_FALSE(SvgText(path("picked.svg")).isEmpty());
}

} // namespace
