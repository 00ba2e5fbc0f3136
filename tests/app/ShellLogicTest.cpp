// Window texts, the About box's date line and the command-line path.
#include "app/AboutTexts.h"
#include "app/MainTexts.h"
#include "app/StartupArguments.h"
#include "app/WindowTexts.h"
#include "base/TableHeader.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace velda {
namespace {

TEST(WindowTextsTest, HeaderRowIsWrittenForAllFourteenColumns) {
    ArchiveTable t;
    t.setCell(9, 0, u"Точка росы, °C");
    t.setCell(13, 0, u"something else");
    WriteHeaderRow(t, 1);
    EXPECT_EQ(t.colCount(), 10);
    // Column 9 keeps naming the dew point it holds; a header that names no quantity becomes heat flux.
    const QStringList expected = {"№",     "Time", "Date",          "Regime", "Number", "Series", "Sensor",
                                  "T, °C", "H, %", "Dew Point, °C", "Sensor", "T, °C",  "H, %",   "Q, W/m2"};
    for (int k = 0; k < 14; ++k)
        EXPECT_EQ(t.cell(k, 0), expected[k]) << k;
    EXPECT_EQ(CaptionsIn(1).createProject, QString::fromUtf8("Сreate Project"));
    EXPECT_EQ(CaptionsIn(1).createProject.at(0).unicode(), 0x0421);
    EXPECT_EQ(CaptionsIn(0).window, "Измеритель температуры и влажности VELDA-9");
}

TEST(WindowTextsTest, MenusInOrderWithTheirCaptions) {
    // Menu title, then its items in order; "|" a separator line, "*" an item that checks its language.
    const QStringList expected[] = {
        {"Файл", "Сохранить в Exel", "Сохранить в CSV...", "Создать Проект", "Открыть Проект",
         "Добавить проект...", "|Печать", "|Выход", "Правка", "Копировать таблицу в буфер",
         "Копировать выделенное в буфер", "Скриншот из прибора", "Language(Язык)", "*русский", "*english",
         "Помощь", "Справка", "О приборе"},
        {"File", "Save to Exel", "Save to CSV...", "Сreate Project", "Open Project", "Append project...",
         "|Print", "|Exit", "Edit", "Copy table to clipboard", "Copy select to clipboard",
         "Screenshot from Device", "Language(Язык)", "*русский", "*english", "Help", "Information", "About"},
    };
    for (std::uint8_t language : {0, 1}) {
        const MainWindowCaptions c = CaptionsIn(language);
        QStringList menus;
        int shownMenu = -1;
        for (const MainMenuItem &item : kMainMenuItems) {
            const int menu = static_cast<int>(item.menu);
            if (menu != shownMenu) menus << c.*kMainMenuTitles[static_cast<std::size_t>(menu)];
            shownMenu = menu;
            const QString mark = item.separatorBefore ? "|" : item.language >= 0 ? "*" : "";
            menus << mark + c.*item.caption;
        }
        EXPECT_EQ(menus, expected[language]);
    }
    // Each language item switches to the language its caption names.
    EXPECT_EQ(kMainMenuItems[10].language, 0);
    EXPECT_EQ(kMainMenuItems[11].language, 1);
}

TEST(AboutTextsTest, DateLineInWords) {
    struct Case {
        const char *name;
        QString buildDate;
        std::uint8_t language;
        std::optional<QString> line;
    };
    const Case cases[] = {
        {"russian", "Mar 13 2018", 0, "Версия 1.0.0.0 от 13 марта 2018 г."},
        {"english keeps the year mark", "Mar 13 2018", 1, "Version 1.0.0.0 of 13 march 2018 г."},
        {"april is apri", "Apr 20 2024", 1, "Version 1.0.0.0 of 20 apri 2024 г."},
        {"single-digit day", "Mar  3 2018", 0, "Версия 1.0.0.0 от 3 марта 2018 г."},
        {"unknown month is January", "Foo 13 2018", 0, "Версия 1.0.0.0 от 13 января 2018 г."},
        {"long month is split by the field widths", "March 13 2018", 1, "Version 1.0.0.0 of ch march 13 г."},
        {"two fields only", "Mar 13", 0, std::nullopt},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(VersionLine("1.0.0.0", c.buildDate, c.language), c.line);
    }
}

TEST(AboutTextsTest, BuildDateAndMailText) {
    EXPECT_EQ(BuildDateFromDotted(u"13.03.2018"), QString("Mar 13 2018"));
    EXPECT_EQ(BuildDateFromDotted(u"03.12.2026"), QString("Dec  3 2026"));
    EXPECT_EQ(BuildDateFromDotted(u"31.02.2026"), std::nullopt);
    EXPECT_TRUE(ReadBuildDate(BuildDate()).has_value()) << BuildDate().toStdString();
    EXPECT_EQ(ApplicationTitle("/usr/bin/VELDA9.exe"), "Velda9");
    EXPECT_EQ(MailtoText("info@velda9.example", "Velda9"), "mailto:info@velda9.example?Subject=Velda9");
}

TEST(StartupArgumentsTest, JoinsArgumentsWithSingleBlanks) {
    struct Case {
        const char *name;
        QStringList arguments;
        bool simulate;
        QString path;
    };
    const Case cases[] = {
        {"none", {}, false, ""},
        {"path split by the shell", {"/tmp/my", "archive.vd"}, false, "/tmp/my archive.vd"},
        {"simulate first", {"--simulate", "/tmp/a", "b.vd"}, true, "/tmp/a b.vd"},
        {"simulate alone", {"--simulate"}, true, ""},
        {"simulate later is part of the path", {"/tmp/x", "--simulate"}, false, "/tmp/x --simulate"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const StartupArguments a = ParseStartupArguments(c.arguments);
        EXPECT_EQ(a.simulate, c.simulate);
        EXPECT_EQ(a.projectPath, c.path);
    }
}

} // namespace
} // namespace velda
