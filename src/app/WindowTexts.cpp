// The main window's captions per language and the header row.
#include "app/WindowTexts.h"

#include "app/MainTexts.h"

namespace velda {

MainWindowCaptions CaptionsIn(std::uint8_t language) {
    auto t = [language](const TextPair &pair) { return PickIn(pair, language); };
    MainWindowCaptions c;
    c.window = t(TxtMainCaption);
    c.file = t(TxtFile);
    c.save = t(TxtSaveToExcel);
    c.createProject = t(TxtCreateProject);
    c.openProject = t(TxtOpenProject);
    c.print = t(TxtPrint);
    c.exit = t(TxtExit);
    c.edit = t(TxtEdit);
    c.copyTable = t(TxtCopyTable);
    c.copySelection = t(TxtCopySelection);
    c.screenshot = t(TxtScreenshot);
    c.help = t(TxtHelp);
    c.contents = t(TxtContents);
    c.about = t(TxtAbout);
    c.readArchive = t(TxtReadArchive);
    c.graph = t(TxtGraph);
    c.channel1 = t(TxtChannel1);
    c.channel2 = t(TxtChannel2);
    c.deleteRow = t(TxtDelete);
    c.clockHint = t(TxtClockSync);
    return c;
}

namespace {

constexpr int kThirdQuantityColumn1 = 9;
constexpr int kThirdQuantityColumn2 = 13;

// The quantities a third-quantity column can hold, each under the header the fill writes for it.
constexpr TextPair kThirdQuantityHeaders[] = {TxtQ, TxtDewPointHeader, TxtPressureHeader};

// The header of the quantity that `current` names in either language; heat flux when it names none.
const TextPair &ThirdQuantityHeader(const QString &current) {
    for (const TextPair &pair : kThirdQuantityHeaders)
        if (current == PickIn(pair, 0) || current == PickIn(pair, 1)) return pair;
    return TxtQ;
}

} // namespace

void WriteHeaderRow(ArchiveTable &table, std::uint8_t language) {
    for (int k = 0; k < ArchiveTable::kMaxColCount; ++k) {
        const bool thirdQuantity = k == kThirdQuantityColumn1 || k == kThirdQuantityColumn2;
        const TextPair &pair = thirdQuantity ? ThirdQuantityHeader(table.cell(k, 0)) : kHeaderTexts[k];
        table.setCell(k, 0, PickIn(pair, language));
    }
}

} // namespace velda
