// resources/: menu and toolbar templates, icons, the view's cursors and the
// about box picture. It may include Qt and engine/ (for the command ids).
//
// The program's menu and toolbar templates and its icons.
//
// Templates name command ids only: the texts, prompts, keys and icons of
// commands live in the command table, so each has one source. Popups carry
// their own text; an item may carry a text for an id that the command table
// does not (yet) route, and is then shown disabled.
#pragma once

#include <QString>

#include <span>

struct MenuItemTemplate {
    int level;        // nesting depth: 0 for the popups of a menu bar or context menu
    int id;           // command id, kMenuPopup or kMenuSeparator
    const char* text; // popup text; for a command only when the table has none
};

inline constexpr int kMenuPopup = 0;
inline constexpr int kMenuSeparator = -1;

// The placeholder item of the "Macro Actions..." popups; the frame replaces
// the popup's items with the macro list each time it opens.
inline constexpr int kMacroPlaceholderId = 33047;

// Main menu 128 (the menu bar).
std::span<const MenuItemTemplate> MainMenuTemplate();
// Context menu 140: its level-0 popups in order "Unloaded", "Default",
// "Crop", "Red eye", "Paste", "Copy", "Text", "Insert Text", "Batch".
std::span<const MenuItemTemplate> ContextMenuTemplate();
// Main toolbar 128: command ids in button order, kMenuSeparator between groups.
std::span<const int> MainToolbarTemplate();

// The folder browser's toolbars: 161 (refresh, up, sort label and sort
// combo) and 169 (folder combo, change folder).
std::span<const int> BrowserSortToolbarTemplate();
std::span<const int> BrowserFolderToolbarTemplate();

// Resource path of a command's icon, empty when it has none.
QString CommandIconPath(int id);

// Program icon and the status bar's print-quality icons.
inline constexpr const char* kProgramIcon = ":/icons/pixmend.svg";
inline constexpr const char* kQualityLowIcon = ":/icons/quality-low.svg";
inline constexpr const char* kQualityMediumIcon = ":/icons/quality-medium.svg";
inline constexpr const char* kQualityHighIcon = ":/icons/quality-high.svg";
// The browser's pictures of a file without a thumbnail yet (icon 180) and of a folder (198).
inline constexpr const char* kThumbPlaceholderIcon = ":/icons/thumb-placeholder.svg";
inline constexpr const char* kFolderItemIcon = ":/icons/folder.svg";
