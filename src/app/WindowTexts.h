// Every text of the main window that the language commands set, and its menus as a table.
#pragma once

#include <QString>

#include <array>
#include <cstdint>

namespace velda {

/// Captions that never change with the language.
inline constexpr const char *kLanguageMenuCaption = "Language(Язык)";
inline constexpr const char *kRussianItemCaption = "русский";
inline constexpr const char *kEnglishItemCaption = "english";

/// The main window's captions in one language.
struct MainWindowCaptions {
    QString window;
    QString file, save, saveCsv, createProject, openProject, appendProject, print, exit;
    QString edit, copyTable, copySelection, screenshot;
    QString language, russian, english;
    QString help, contents, about;
    QString readArchive, graph;
    QString channel1, channel2;
    QString deleteRow;
    QString clockHint;
};

[[nodiscard]] MainWindowCaptions CaptionsIn(std::uint8_t language);

/// The main window's menus, in menu-bar order.
enum class MainMenu { File, Edit, Language, Help };
inline constexpr int kMainMenuCount = 4;

/// The caption of each menu of the menu bar, in MainMenu order.
inline constexpr std::array<QString MainWindowCaptions::*, kMainMenuCount> kMainMenuTitles = {
    &MainWindowCaptions::file, &MainWindowCaptions::edit, &MainWindowCaptions::language,
    &MainWindowCaptions::help};

/// One item of a main-window menu.
struct MainMenuItem {
    MainMenu menu;
    QString MainWindowCaptions::*caption;
    bool separatorBefore = false; ///< a separator line stands between it and the item above
    int language = -1;            ///< the language it switches to, checked while in force; -1: none
};

/// Every menu item in the order it stands in its menu; the window binds its actions and handlers to
/// the items by position.
inline constexpr std::array<MainMenuItem, 14> kMainMenuItems = {{
    {MainMenu::File, &MainWindowCaptions::save},
    {MainMenu::File, &MainWindowCaptions::saveCsv},
    {MainMenu::File, &MainWindowCaptions::createProject},
    {MainMenu::File, &MainWindowCaptions::openProject},
    {MainMenu::File, &MainWindowCaptions::appendProject},
    {MainMenu::File, &MainWindowCaptions::print, true},
    {MainMenu::File, &MainWindowCaptions::exit, true},
    {MainMenu::Edit, &MainWindowCaptions::copyTable},
    {MainMenu::Edit, &MainWindowCaptions::copySelection},
    {MainMenu::Edit, &MainWindowCaptions::screenshot},
    {MainMenu::Language, &MainWindowCaptions::russian, false, 0},
    {MainMenu::Language, &MainWindowCaptions::english, false, 1},
    {MainMenu::Help, &MainWindowCaptions::contents},
    {MainMenu::Help, &MainWindowCaptions::about},
}};

} // namespace velda
