// Tests of velda9-cli's command-line parsing: accepted forms, rejected ones and their messages.
#include "cli/CliArguments.h"

#include "base/BuildDate.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

using namespace velda::cli;

namespace {

QStringList Args(std::initializer_list<const char *> items) {
    QStringList list;
    for (const char *item : items)
        list.append(QString::fromUtf8(item));
    return list;
}

} // namespace

TEST(CliArguments, AcceptsTheDocumentedCommandLines) {
    struct Case {
        const char *name;
        QStringList args;
        Command command;
        QString input;
        QString output;
        bool simulate;
        std::uint8_t language;
        int timeout;
    };
    const std::vector<Case> cases = {
        {"read", Args({"read", "-o", "a.vd", "--simulate"}), Command::Read, "", "a.vd", true, 0, 30},
        {"read all options",
         Args({"read", "--output=b.vd", "--lang", "en", "--locale", "de_DE", "--timeout", "5"}),
         Command::Read, "", "b.vd", false, 1, 5},
        {"options before command", Args({"--simulate", "-oc.vd", "read"}), Command::Read, "", "c.vd", true, 0,
         30},
        {"dump", Args({"dump", "x y.vd"}), Command::Dump, "x y.vd", "", false, 0, 30},
        {"dump after --", Args({"dump", "--", "-odd.vd"}), Command::Dump, "-odd.vd", "", false, 0, 30},
        {"export", Args({"export", "a.vd", "-o", "a.xlsx", "--lang=en"}), Command::Export, "a.vd", "a.xlsx",
         false, 1, 30},
        {"report", Args({"report", "a.vd", "-o", "a.pdf", "--locale", "en_US"}), Command::Report, "a.vd",
         "a.pdf", false, 0, 30},
        {"set-clock", Args({"set-clock", "--simulate", "--timeout", "1"}), Command::SetClock, "", "", true, 0,
         1},
        {"screenshot", Args({"screenshot", "-o", "s.bmp", "--pen", "navy", "--background", "#ff0"}),
         Command::Screenshot, "", "s.bmp", false, 0, 30},
        {"help wins", Args({"read", "--bogus", "--help"}), Command::Help, "", "", false, 0, 30},
        {"version", Args({"--version"}), Command::Version, "", "", false, 0, 30},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseArguments(c.args);
        ASSERT_TRUE(parsed.ok()) << parsed.error().message.toStdString();
        const Options *options = &parsed.value();
        EXPECT_EQ(options->command, c.command);
        EXPECT_EQ(options->input, c.input);
        EXPECT_EQ(options->output, c.output);
        EXPECT_EQ(options->simulate, c.simulate);
        EXPECT_EQ(options->language, c.language);
        EXPECT_EQ(options->timeoutSeconds, c.timeout);
    }
}

TEST(CliArguments, AcceptsCsvExportMergeAndPlot) {
    struct Case {
        const char *name;
        QStringList args;
        Command command;
        QStringList inputs;
        std::optional<char> delimiter;
        bool isoDate;
        int width;
        int height;
    };
    const std::vector<Case> cases = {
        {"csv with the locale's delimiter",
         Args({"export", "a.vd", "-o", "a.CSV", "--locale", "de_DE"}),
         Command::Export,
         {"a.vd"},
         std::nullopt,
         false,
         1600,
         1000},
        {"csv semicolon and iso dates",
         Args({"export", "a.vd", "-o", "a.csv", "--delimiter", ";", "--iso-date"}),
         Command::Export,
         {"a.vd"},
         ';',
         true,
         1600,
         1000},
        {"csv tab",
         Args({"export", "a.vd", "-o", "a.csv", "--delimiter=tab"}),
         Command::Export,
         {"a.vd"},
         '\t',
         false,
         1600,
         1000},
        {"merge of three",
         Args({"merge", "a.vd", "b.vd", "c d.vd", "-o", "e.vd", "--locale", "ru_RU"}),
         Command::Merge,
         {"a.vd", "b.vd", "c d.vd"},
         std::nullopt,
         false,
         1600,
         1000},
        {"plot default size",
         Args({"plot", "a.vd", "-o", "a.svg", "--lang", "en"}),
         Command::Plot,
         {"a.vd"},
         std::nullopt,
         false,
         1600,
         1000},
        {"plot sized",
         Args({"plot", "a.vd", "-o", "a.PDF", "--width", "800", "--height=600"}),
         Command::Plot,
         {"a.vd"},
         std::nullopt,
         false,
         800,
         600},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseArguments(c.args);
        ASSERT_TRUE(parsed.ok()) << parsed.error().message.toStdString();
        const Options *options = &parsed.value();
        EXPECT_EQ(options->command, c.command);
        EXPECT_EQ(options->inputs, c.inputs);
        EXPECT_EQ(options->input, c.inputs.front());
        EXPECT_EQ(options->delimiter, c.delimiter);
        EXPECT_EQ(options->isoDate, c.isoDate);
        EXPECT_EQ(options->width, c.width);
        EXPECT_EQ(options->height, c.height);
    }
}

TEST(CliArguments, KeepsLocaleAndColours) {
    const auto read = ParseArguments(Args({"read", "-o", "a.vd", "--locale", "ru_RU"}));
    ASSERT_TRUE(read.ok());
    EXPECT_EQ(read.value().localeName.value_or(QString()), QStringLiteral("ru_RU"));

    const auto plain = ParseArguments(Args({"screenshot", "-o", "s.bmp"}));
    ASSERT_TRUE(plain.ok());
    EXPECT_FALSE(plain.value().localeName.has_value());
    EXPECT_EQ(plain.value().pen, 0x000000u);
    EXPECT_EQ(plain.value().background, 0xFFFFFFu);

    const auto coloured =
        ParseArguments(Args({"screenshot", "-o", "s.bmp", "--pen", "#12AbEf", "--background", "Navy"}));
    ASSERT_TRUE(coloured.ok());
    EXPECT_EQ(coloured.value().pen, 0x12ABEFu);
    EXPECT_EQ(coloured.value().background, 0x000080u);
}

TEST(CliArguments, RejectsWrongCommandLinesWithAMessageNamingTheFault) {
    struct Case {
        const char *name;
        QStringList args;
        const char *mentions;
    };
    const std::vector<Case> cases = {
        {"nothing", Args({}), "no command"},
        {"unknown command", Args({"download"}), "\"download\""},
        {"unknown option", Args({"read", "-o", "a.vd", "--fast"}), "--fast"},
        {"read without -o", Args({"read", "--simulate"}), "needs -o"},
        {"-o without value", Args({"read", "-o"}), "needs a value"},
        {"empty -o", Args({"read", "--output="}), "file name"},
        {"dump without file", Args({"dump"}), "project file"},
        {"dump with two files", Args({"dump", "a.vd", "b.vd"}), "\"b.vd\""},
        {"read with a file", Args({"read", "-o", "a.vd", "extra"}), "\"extra\""},
        {"bad language", Args({"read", "-o", "a.vd", "--lang", "de"}), "\"de\""},
        {"negative timeout", Args({"read", "-o", "a.vd", "--timeout", "-1"}), "--timeout"},
        {"zero timeout", Args({"set-clock", "--timeout", "0"}), "from 1 to"},
        {"fractional timeout", Args({"read", "-o", "a.vd", "--timeout", "1.5"}), "\"1.5\""},
        {"huge timeout", Args({"read", "-o", "a.vd", "--timeout", "99999999999"}), "--timeout"},
        {"simulate on dump", Args({"dump", "a.vd", "--simulate"}), "does not apply to dump"},
        {"pen on read", Args({"read", "-o", "a.vd", "--pen", "red"}), "does not apply to read"},
        {"timeout on export", Args({"export", "a.vd", "-o", "a.xlsx", "--timeout", "3"}), "does not apply"},
        {"bad colour", Args({"screenshot", "-o", "s.bmp", "--pen", "#12345"}), "\"#12345\""},
        {"colour name", Args({"screenshot", "-o", "s.bmp", "--background", "chartreuse"}), "\"chartreuse\""},
        {"twice", Args({"read", "-o", "a.vd", "-o", "b.vd"}), "given twice"},
        {"flag with value", Args({"read", "-o", "a.vd", "--simulate=yes"}), "takes no value"},
        {"delimiter on a workbook", Args({"export", "a.vd", "-o", "a.xlsx", "--delimiter", ";"}),
         "CSV export"},
        {"iso date on a workbook", Args({"export", "a.vd", "-o", "a.xlsx", "--iso-date"}), "CSV export"},
        {"unknown delimiter", Args({"export", "a.vd", "-o", "a.csv", "--delimiter", "|"}), "\"|\""},
        {"delimiter on merge", Args({"merge", "a.vd", "b.vd", "-o", "c.vd", "--delimiter", ";"}),
         "does not apply"},
        {"merge of one file", Args({"merge", "a.vd", "-o", "c.vd"}), "at least 2 project files"},
        {"merge without -o", Args({"merge", "a.vd", "b.vd"}), "needs -o"},
        {"history alone", Args({"history"}), "list, show, export"},
        {"unknown history command", Args({"history", "drop", "X"}), "\"drop\""},
        {"history export without -o", Args({"history", "export", "X"}), "needs -o"},
        {"history export to text", Args({"history", "export", "X", "-o", "x.txt"}), "\"x.txt\""},
        {"history show of a bad date", Args({"history", "show", "X", "--from", "1.3.2024"}), "\"1.3.2024\""},
        {"history import without name", Args({"history", "import", "a.vd"}), "--instrument"},
        {"range on forget", Args({"history", "forget", "X", "--to", "2024-01-01"}), "--from and --to"},
        {"download on show", Args({"history", "show", "X", "--download", "3"}), "history forget"},
        {"no-history on dump", Args({"dump", "a.vd", "--no-history"}), "does not apply to dump"},
        {"plot to a text file", Args({"plot", "a.vd", "-o", "a.txt"}), "\"a.txt\""},
        {"plot too narrow", Args({"plot", "a.vd", "-o", "a.png", "--width", "10"}), "--width"},
        {"plot too tall", Args({"plot", "a.vd", "-o", "a.png", "--height", "20000"}), "--height"},
        {"plot of two files", Args({"plot", "a.vd", "b.vd", "-o", "a.png"}), "\"b.vd\""},
        {"width on export", Args({"export", "a.vd", "-o", "a.csv", "--width", "800"}), "does not apply"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const auto parsed = ParseArguments(c.args);
        ASSERT_FALSE(parsed.ok());
        const UsageError *error = &parsed.error();
        EXPECT_TRUE(error->message.contains(QString::fromUtf8(c.mentions))) << error->message.toStdString();
        EXPECT_FALSE(error->message.contains(QLatin1Char('\n')));
    }
}

TEST(CliArguments, HelpListsEveryCommandOptionAndExitCode) {
    const QString help = HelpText();
    for (const char *word :
         {"read",       "dump",        "export",     "report",    "set-clock", "screenshot",
          "--simulate", "--lang",      "--locale",   "--timeout", "--pen",     "--background",
          "--version",  "  2  ",       "  3  ",      "  4  ",     "merge",     "plot",
          "FILE.csv",   "--delimiter", "--iso-date", "--width",   "--height"}) {
        SCOPED_TRACE(word);
        EXPECT_TRUE(help.contains(QLatin1String(word)));
    }
    EXPECT_TRUE(VersionText().contains(QLatin1String(VELDA_VERSION)));
    EXPECT_TRUE(VersionText().contains(QLatin1String(velda::BuildDateText())));
}
