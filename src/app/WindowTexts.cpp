// The main window's captions per language.
#include "app/WindowTexts.h"

#include "app/MainTexts.h"
#include "device/ClockCommand.h"

namespace velda {

MainWindowCaptions CaptionsIn(std::uint8_t language) {
    auto t = [language](const TextPair &pair) { return PickIn(pair, language); };
    MainWindowCaptions c;
    c.window = t(TxtMainCaption);
    c.file = t(TxtFile);
    c.save = t(TxtSaveToExcel);
    c.saveCsv = t(TxtSaveToCsv);
    c.createProject = t(TxtCreateProject);
    c.openProject = t(TxtOpenProject);
    c.appendProject = t(TxtAppendProject);
    c.print = t(TxtPrint);
    c.exit = t(TxtExit);
    c.edit = t(TxtEdit);
    c.copyTable = t(TxtCopyTable);
    c.copySelection = t(TxtCopySelection);
    c.screenshot = t(TxtScreenshot);
    c.language = QString::fromUtf8(kLanguageMenuCaption);
    c.russian = QString::fromUtf8(kRussianItemCaption);
    c.english = QString::fromUtf8(kEnglishItemCaption);
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

} // namespace velda
