// The main window's layout rule for the channels present.
#include "archive/ChannelLayout.h"

#include "base/Texts.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <map>

namespace velda {
namespace {

struct RecordingTarget : ChannelLayoutTarget {
    int width = 1507;
    int columns = 10;
    std::map<int, int> widths{{6, 201}, {7, 49}, {8, 51}, {9, 168}, {10, 40}, {11, 40}, {12, 40}, {13, 40}};
    QString panel1 = "Канал 1";
    QString panel2;
    bool panel2Visible = false;

    void setWindowWidth(int w) override { width = w; }
    void setColumnCount(int c) override { columns = c; }
    int columnWidth(int c) const override { return widths.at(c); }
    void setColumnWidth(int c, int w) override { widths[c] = w; }
    void setPanel1Caption(const QString &t) override { panel1 = t; }
    void setPanel2Caption(const QString &t) override { panel2 = t; }
    void setPanel2Visible(bool v) override { panel2Visible = v; }
};

TEST(ChannelLayoutTest, FlagsDecideWidthColumnsAndPanels) {
    struct Case {
        const char *name;
        std::uint8_t language;
        bool ch1, ch2;
        int width, columns;
        QString panel1;
        bool panel2Visible;
    };
    const Case cases[] = {
        {"both channels", 0, true, true, 1300, 14, "Канал 1", true},
        {"channel 1 only", 0, true, false, 1000, 10, "Канал 1", false},
        {"channel 2 only", 0, false, true, 1000, 10, "Канал 2", false},
        {"channel 2 only in English", 1, false, true, 1000, 10, "Chanal 2", false},
        {"no channel keeps the caption", 1, false, false, 1000, 10, "Канал 1", false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        LanguageIndex = c.language;
        RecordingTarget target;
        ApplyChannelLayout(target, c.ch1, c.ch2);
        EXPECT_EQ(target.width, c.width);
        EXPECT_EQ(target.columns, c.columns);
        EXPECT_EQ(target.panel1, c.panel1);
        EXPECT_EQ(target.panel2Visible, c.panel2Visible);
    }
    LanguageIndex = 0;
    RecordingTarget target;
    ApplyChannelLayout(target, true, true);
    EXPECT_EQ(target.panel2, "Канал 2");
    EXPECT_EQ(target.widths[10], 201);
    EXPECT_EQ(target.widths[13], 168);
    ApplyChannelLayout(target, true, false); // then a read of channel 1 only
    EXPECT_EQ(target.columns, 10);
    EXPECT_FALSE(target.panel2Visible);
}

} // namespace
} // namespace velda
