// End-to-end: downloads from the simulated instrument turned into CSV, chart pictures and merged projects
// by the built velda9-cli; every output read back by an independent reader.
#include "CliProcess.h"

#include "QtPrinters.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>

namespace {

using velda::test::BinDir;
using CliRun = velda::test::ProcessRun;

CliRun Execute(const QString &program, const QStringList &args, const QString &scenario = {}) {
    return velda::test::RunProgram(program, args, velda::test::SimEnvironment(scenario));
}

CliRun Cli(const QStringList &args, const QString &scenario = {}) {
    return Execute(BinDir() + QStringLiteral("/velda9-cli"), args, scenario);
}

// Record i of a format-2 archive: both channels, one every 15 minutes from 1 March 2018, values that
// differ from record to record.
QString RecordHex(int i) {
    QByteArray b(44, '\0');
    const auto u16 = [&b](int at, std::uint16_t v) {
        b[at] = static_cast<char>(v & 0xFF);
        b[at + 1] = static_cast<char>(v >> 8);
    };
    const auto f32 = [&b](int at, float v) {
        const auto u = std::bit_cast<std::uint32_t>(v);
        for (int k = 0; k < 4; ++k)
            b[at + k] = static_cast<char>((u >> (8 * k)) & 0xFF);
    };
    b[0] = 2;
    u16(2, 255);
    f32(8, 40.0f + static_cast<float>(i % 7));   // humidity, channel 1
    f32(24, 20.0f + static_cast<float>(i) / 8);  // temperature, channel 1
    f32(28, 60.0f - static_cast<float>(i % 11)); // temperature, channel 2
    const int minutes = i * 15;
    const int day = 1 + minutes / (24 * 60);
    const std::uint8_t tail[] = {0,
                                 static_cast<std::uint8_t>(minutes % 60),
                                 static_cast<std::uint8_t>((minutes / 60) % 24),
                                 static_cast<std::uint8_t>(day),
                                 3,
                                 18,
                                 6,  // SHT on channel 1
                                 1}; // thermocouple on channel 2
    std::memcpy(b.data() + 32, tail, sizeof tail);
    u16(40, 0xAAAA);
    return QString::fromLatin1(b.toHex());
}

class CliCsvPlotMerge : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(m_dir.isValid()); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    /// Downloads records first..last (1-based, inclusive) of the archive into `name`.
    QString download(const QString &name, int first, int last, const QString &lang = QStringLiteral("ru")) {
        QStringList hex;
        for (int i = first - 1; i < last; ++i)
            hex << QStringLiteral("\"%1\"").arg(RecordHex(i));
        QFile scenario(path(name + QStringLiteral(".json")));
        EXPECT_TRUE(scenario.open(QIODevice::WriteOnly));
        scenario.write(QStringLiteral("{\"firmware_date\": \"13.03.2018\", \"records_hex\": [%1]}")
                           .arg(hex.join(QStringLiteral(", ")))
                           .toUtf8());
        scenario.close();
        const QString file = path(name);
        const CliRun read =
            Cli({QStringLiteral("read"), QStringLiteral("--simulate"), QStringLiteral("-o"), file,
                 QStringLiteral("--lang"), lang, QStringLiteral("--locale"), QStringLiteral("ru_RU")},
                scenario.fileName());
        EXPECT_EQ(read.exitCode, 0) << read.err.toStdString();
        return file;
    }

    static QList<QStringList> Dump(const QString &file) {
        const CliRun dump = Cli({QStringLiteral("dump"), file});
        EXPECT_EQ(dump.exitCode, 0) << dump.err.toStdString();
        QList<QStringList> rows;
        for (const QByteArray &line : dump.out.split('\n'))
            if (!line.isEmpty()) rows << QString::fromUtf8(line).split(QLatin1Char('\t'));
        return rows;
    }

    static QByteArray Bytes(const QString &file) {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QTemporaryDir m_dir;
};

TEST_F(CliCsvPlotMerge, OverlappingDownloadsMergeIntoOneArchiveInTimeOrder) {
    const QString first = download(QStringLiteral("first.vd"), 1, 200);
    const QString second = download(QStringLiteral("second.vd"), 100, 300);
    const QString merged = path(QStringLiteral("merged.vd"));
    // The later download first: the order comes from the dates and times, not from the arguments.
    const CliRun merge = Cli({QStringLiteral("merge"), second, first, QStringLiteral("-o"), merged,
                              QStringLiteral("--locale"), QStringLiteral("ru_RU")});
    ASSERT_EQ(merge.exitCode, 0) << merge.err.toStdString();
    EXPECT_TRUE(merge.err.contains("Объединено строк: 300 из 401 (повторов: 101)"))
        << merge.err.toStdString();

    const QList<QStringList> rows = Dump(merged);
    ASSERT_EQ(rows.size(), 301);
    const QList<QStringList> all = Dump(download(QStringLiteral("all.vd"), 1, 300));
    EXPECT_EQ(rows, all) << "the merge equals one download of all 300 records";
    for (int r = 1; r < rows.size(); ++r)
        ASSERT_EQ(rows[r].at(0), QString::number(r));

    const QByteArray once = Bytes(merged);
    for (const QString &again : {first, second, merged}) {
        const CliRun twice = Cli({QStringLiteral("merge"), merged, again, QStringLiteral("-o"), merged,
                                  QStringLiteral("--locale"), QStringLiteral("ru_RU")});
        ASSERT_EQ(twice.exitCode, 0) << twice.err.toStdString();
        EXPECT_EQ(Bytes(merged), once) << "merging again with " << again.toStdString() << " changed the file";
    }
}

TEST_F(CliCsvPlotMerge, MergeRefusesAnotherLanguageOrABrokenFileAndWritesNothing) {
    const QString russian = download(QStringLiteral("ru.vd"), 1, 20);
    const QString english = download(QStringLiteral("en.vd"), 10, 30, QStringLiteral("en"));
    QFile broken(path(QStringLiteral("broken.vd")));
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("\x01\x00\x0a\x00", 4);
    broken.close();
    const QString out = path(QStringLiteral("out.vd"));
    struct Case {
        QStringList args;
        const char *named;
    };
    const Case cases[] = {
        {{russian, english}, "en.vd: заголовки столбцов не совпадают с ru.vd"},
        {{russian, broken.fileName()}, "broken.vd: проект не открыт"},
        {{russian, path(QStringLiteral("missing.vd"))}, "missing.vd: проект не открыт"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.named);
        const CliRun merge =
            Cli(QStringList{QStringLiteral("merge")} + c.args + QStringList{QStringLiteral("-o"), out});
        EXPECT_EQ(merge.exitCode, 4);
        EXPECT_TRUE(merge.err.contains(c.named)) << merge.err.toStdString();
        EXPECT_FALSE(QFile::exists(out));
    }
    EXPECT_EQ(Cli({QStringLiteral("merge"), russian, QStringLiteral("-o"), out}).exitCode, 2);
}

TEST_F(CliCsvPlotMerge, CsvReadsBackAsTheTableInEveryLocale) {
    const QString project = download(QStringLiteral("csv.vd"), 1, 50);
    const QList<QStringList> table = Dump(project);
    struct Case {
        const char *name;
        QStringList options;
        const char *delimiter; ///< as read_csv.py takes it
    };
    const Case cases[] = {
        {"comma decimal: semicolon", {QStringLiteral("--locale"), QStringLiteral("ru_RU")}, ";"},
        {"decimal comma in the cells under a point locale: semicolon",
         {QStringLiteral("--locale"), QStringLiteral("en_US")},
         ";"},
        {"tab chosen", {QStringLiteral("--delimiter"), QStringLiteral("tab")}, "tab"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString csv = path(QStringLiteral("out.csv"));
        const CliRun run =
            Cli(QStringList{QStringLiteral("export"), project, QStringLiteral("-o"), csv} + c.options);
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        QProcess python;
        python.start(
            QStringLiteral("/usr/bin/python3"),
            {QStringLiteral(VELDA_EXPORT_TEST_DIR "/read_csv.py"), csv, QString::fromLatin1(c.delimiter)});
        ASSERT_TRUE(python.waitForFinished(60000));
        ASSERT_EQ(python.exitCode(), 0) << python.readAllStandardError().toStdString();
        const QJsonObject back = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
        EXPECT_TRUE(back.value(QStringLiteral("bom")).toBool());
        EXPECT_TRUE(back.value(QStringLiteral("exact")).toBool());
        QList<QStringList> rows;
        for (const QJsonValue &row : back.value(QStringLiteral("rows")).toArray()) {
            QStringList cells;
            for (const QJsonValue &cell : row.toArray())
                cells << cell.toString();
            rows << cells;
        }
        EXPECT_EQ(rows, table);
    }
    const CliRun iso =
        Cli({QStringLiteral("export"), project, QStringLiteral("-o"), path(QStringLiteral("iso.csv")),
             QStringLiteral("--iso-date"), QStringLiteral("--locale"), QStringLiteral("ru_RU")});
    ASSERT_EQ(iso.exitCode, 0) << iso.err.toStdString();
    EXPECT_TRUE(Bytes(path(QStringLiteral("iso.csv"))).contains(";00:00:00;2018-03-01;"));

    EXPECT_EQ(Cli({QStringLiteral("export"), project, QStringLiteral("-o"), path(QStringLiteral("x.xlsx")),
                   QStringLiteral("--iso-date")})
                  .exitCode,
              2);
    EXPECT_EQ(Cli({QStringLiteral("export"), project, QStringLiteral("-o"), path(QStringLiteral("x.csv")),
                   QStringLiteral("--delimiter"), QStringLiteral("|")})
                  .exitCode,
              2);
    EXPECT_EQ(Cli({QStringLiteral("export"), project, QStringLiteral("-o"), path(QStringLiteral("no/x.csv"))})
                  .exitCode,
              4);
}

#ifdef VELDA_E2E_WITH_PLOT
// Texts of an SVG file: the runs of every <text> element, joined.
QString SvgText(const QByteArray &svg, bool *wellFormed) {
    QXmlStreamReader xml(svg);
    QString text;
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && xml.name() == QLatin1String("text"))
            text += xml.readElementText(QXmlStreamReader::IncludeChildElements);
    }
    *wellFormed = !xml.hasError();
    return text;
}

TEST_F(CliCsvPlotMerge, PlotWritesTheChartAsPngSvgAndPdf) {
    const QString project = download(QStringLiteral("plot.vd"), 1, 120);
    const QString png = path(QStringLiteral("chart.png"));
    const CliRun wrongLocale =
        Cli({QStringLiteral("plot"), project, QStringLiteral("-o"), png, QStringLiteral("--locale"),
             QStringLiteral("en_US"), QStringLiteral("--lang"), QStringLiteral("en")});
    EXPECT_EQ(wrongLocale.exitCode, 4);
    EXPECT_TRUE(wrongLocale.err.contains("plot.vd: the chart cannot be built:"))
        << wrongLocale.err.toStdString();
    EXPECT_FALSE(QFile::exists(png));
    const CliRun drawn = Cli({QStringLiteral("plot"), project, QStringLiteral("-o"), png,
                              QStringLiteral("--width"), QStringLiteral("1234"), QStringLiteral("--height"),
                              QStringLiteral("567"), QStringLiteral("--locale"), QStringLiteral("ru_RU")});
    ASSERT_EQ(drawn.exitCode, 0) << drawn.err.toStdString();
    const QByteArray image = Bytes(png);
    ASSERT_GE(image.size(), 24);
    EXPECT_TRUE(image.startsWith("\x89PNG\r\n\x1a\n"));
    const auto be32 = [&image](int at) {
        return (static_cast<std::uint32_t>(static_cast<unsigned char>(image[at])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(image[at + 1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(image[at + 2])) << 8) |
               static_cast<unsigned char>(image[at + 3]);
    };
    EXPECT_EQ(be32(16), 1234U);
    EXPECT_EQ(be32(20), 567U);
    EXPECT_GT(image.size(), 10000) << "a chart, not a blank picture";

    for (const auto &[lang, title] :
         {std::pair{"ru", "Температура, °C Канал 1"}, std::pair{"en", "Temperature, °C Chanal 1"}}) {
        const QString svg = path(QStringLiteral("chart-%1.svg").arg(QLatin1String(lang)));
        const CliRun run =
            Cli({QStringLiteral("plot"), project, QStringLiteral("-o"), svg, QStringLiteral("--lang"),
                 QLatin1String(lang), QStringLiteral("--locale"), QStringLiteral("ru_RU")});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        bool wellFormed = false;
        const QString text = SvgText(Bytes(svg), &wellFormed);
        EXPECT_TRUE(wellFormed);
        EXPECT_TRUE(text.contains(QString::fromUtf8(title))) << text.toStdString();
        EXPECT_TRUE(text.contains(QString::fromUtf8(lang == std::string("ru") ? "Канал 2" : "Chanal 2")));
    }

    // A small picture shows fewer time labels, whole, rather than every one of them cut.
    const QString small = path(QStringLiteral("small.svg"));
    ASSERT_EQ(Cli({"plot", project, "-o", small, "--width", "200", "--height", "200", "--locale", "ru_RU"})
                  .exitCode,
              0);
    bool wellFormed = false;
    EXPECT_GE(
        SvgText(Bytes(small), &wellFormed).count(QRegularExpression(QStringLiteral("\\d\\d:\\d\\d:\\d\\d"))),
        1);

    const QString pdf = path(QStringLiteral("chart.pdf"));
    ASSERT_EQ(Cli({QStringLiteral("plot"), project, QStringLiteral("-o"), pdf, QStringLiteral("--locale"),
                   QStringLiteral("ru_RU"), QStringLiteral("--width"), QStringLiteral("800"),
                   QStringLiteral("--height"), QStringLiteral("400")})
                  .exitCode,
              0);
    const CliRun info = Execute(QStringLiteral("pdfinfo"), {pdf});
    ASSERT_EQ(info.exitCode, 0) << info.err.toStdString();
    EXPECT_TRUE(info.out.contains("Pages:           1")) << info.out.toStdString();
    EXPECT_TRUE(info.out.contains("Page size:       600 x 300 pts")) << info.out.toStdString();

    EXPECT_EQ(Cli({QStringLiteral("plot"), project, QStringLiteral("-o"), path(QStringLiteral("chart.txt"))})
                  .exitCode,
              2);
    EXPECT_EQ(Cli({QStringLiteral("plot"), project, QStringLiteral("-o"), png, QStringLiteral("--width"),
                   QStringLiteral("5")})
                  .exitCode,
              2);
    EXPECT_EQ(
        Cli({QStringLiteral("plot"), path(QStringLiteral("missing.vd")), QStringLiteral("-o"), png}).exitCode,
        4);
    EXPECT_EQ(Cli({QStringLiteral("plot"), project, QStringLiteral("-o"),
                   path(QStringLiteral("no/chart.png")), QStringLiteral("--locale"), QStringLiteral("ru_RU")})
                  .exitCode,
              4);
    EXPECT_EQ(Bytes(png), image) << "failed runs left the earlier picture alone";
}
#endif

} // namespace
