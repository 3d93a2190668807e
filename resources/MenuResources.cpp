#include "MenuResources.h"

#include "CommandIds.h"

#include <iterator>

namespace {

constexpr int P = kMenuPopup;
constexpr int S = kMenuSeparator;

// The rotate and flip popups appear in both menus.
#define PIXMEND_FLIP_ROTATE(l)                                                                         \
    {l, P, "&Flip"}, {l + 1, ID_EDIT_FLIP_HORIZONTAL, nullptr}, {l + 1, ID_EDIT_FLIP_VERTICAL, nullptr}, \
        {l, P, "&Rotate"}, {l + 1, ID_EDIT_ROTATE_LEFT, nullptr}, {l + 1, ID_EDIT_ROTATE_RIGHT, nullptr},  \
        {l + 1, ID_EDIT_ROTATE_180, nullptr}, {l + 1, S, nullptr}, {l + 1, ID_EDIT_ROTATE_TO_FLAG, nullptr}

#define PIXMEND_MACRO_POPUP(l) {l, P, "Macro Actions..."}, {l + 1, kMacroPlaceholderId, "Macro Action"}

#define PIXMEND_MODES(l)                                                                               \
    {l, ID_EDIT_DRAG, nullptr}, {l, ID_EDIT_SELECT, nullptr}, {l, ID_EDIT_CROP, nullptr},                \
        {l, ID_EDIT_RED_EYE, nullptr}, {l, ID_EDIT_TEXT, nullptr}, {l, S, nullptr},                      \
        {l, ID_EDIT_RESIZE, nullptr}, {l, ID_EDIT_COLOR, nullptr}, {l, ID_EDIT_GRAYSCALE, nullptr},      \
        {l, ID_EDIT_RECONSTRUCT, nullptr}

#define PIXMEND_ZOOM(l)                                                                                \
    {l, ID_VIEW_ZOOM_IN, nullptr}, {l, ID_VIEW_ZOOM_OUT, nullptr}, {l, ID_VIEW_ZOOM_ACTUAL, nullptr},    \
        {l, ID_VIEW_ZOOM_FIT, nullptr}, {l, ID_VIEW_ZOOM_SELECTION, nullptr}

const MenuItemTemplate kMainMenu[] = {
    {0, P, "&File"},
    {1, ID_FILE_OPEN, nullptr},
    {1, ID_FILE_CLOSE, nullptr},
    {1, S, nullptr},
    {1, ID_FILE_SAVE, nullptr},
    {1, ID_FILE_SAVE_AS, nullptr},
    {1, S, nullptr},
    {1, ID_FILE_EMAIL, nullptr},
    {1, ID_FILE_COPY_TO_FOLDER, nullptr},
    {1, ID_FILE_MOVE_TO_FOLDER, nullptr},
    {1, ID_FILE_DELETE, nullptr},
    {1, ID_FILE_SELECT_ALL_ITEMS, nullptr},
    {1, S, nullptr},
    {1, ID_FILE_PREV_IMAGE, nullptr},
    {1, ID_FILE_NEXT_IMAGE, nullptr},
    {1, ID_FILE_FIRST_IMAGE, nullptr},
    {1, ID_FILE_LAST_IMAGE, nullptr},
    {1, S, nullptr},
    {1, ID_FILE_PREFERENCES, nullptr},
    {1, S, nullptr},
    {1, ID_APP_EXIT, nullptr},

    {0, P, "&Edit"},
    {1, ID_EDIT_UNDO, nullptr},
    {1, ID_EDIT_REDO, nullptr},
    {1, S, nullptr},
    {1, ID_EDIT_COPY_SELECTION, nullptr},
    {1, ID_EDIT_PASTE, nullptr},
    {1, S, nullptr},
    PIXMEND_FLIP_ROTATE(1),
    {1, S, nullptr},
    PIXMEND_MODES(1),
    {1, S, nullptr},
    PIXMEND_MACRO_POPUP(1),

    {0, P, "&View"},
    {1, ID_VIEW_TOOLBAR, nullptr},
    {1, ID_VIEW_STATUS_BAR, nullptr},
    {1, S, nullptr},
    PIXMEND_ZOOM(1),

    {0, P, "&Help"},
    {1, ID_HELP_CONTENTS, nullptr},
    {1, ID_HELP_WEB_PAGE, nullptr},
    {1, S, nullptr},
    {1, ID_APP_ABOUT, nullptr},
};

const MenuItemTemplate kContextMenu[] = {
    {0, P, "Unloaded"},
    {1, ID_FILE_OPEN, nullptr},
    {1, ID_EDIT_PASTE, nullptr},
    {1, S, nullptr},
    {1, ID_FILE_PREFERENCES, nullptr},

    {0, P, "Default"},
    {1, ID_EDIT_UNDO, nullptr},
    {1, ID_EDIT_REDO, nullptr},
    {1, S, nullptr},
    PIXMEND_ZOOM(1),
    {1, S, nullptr},
    PIXMEND_FLIP_ROTATE(1),
    {1, S, nullptr},
    PIXMEND_MODES(1),
    {1, S, nullptr},
    PIXMEND_MACRO_POPUP(1),
    {1, S, nullptr},
    {1, ID_FILE_SAVE, nullptr},
    {1, ID_FILE_SAVE_AS, nullptr},

    {0, P, "Crop"},
    {1, ID_CROP_NOW, nullptr},
    {1, ID_CROP_CANCEL, nullptr},
    {1, S, nullptr},
    {1, ID_VIEW_ZOOM_SELECTION, nullptr},
    {1, ID_VIEW_ZOOM_FIT, nullptr},

    {0, P, "Red eye"},
    {1, ID_RED_EYE_APPLY, nullptr},
    {1, ID_RED_EYE_CANCEL_LAST, nullptr},
    {1, ID_RED_EYE_CANCEL_ALL, nullptr},

    {0, P, "Paste"},
    {1, ID_PASTE_NOW, nullptr},
    {1, ID_PASTE_CANCEL, nullptr},

    {0, P, "Copy"},
    {1, ID_EDIT_COPY_SELECTION, nullptr},
    {1, ID_COPY_CANCEL, nullptr},
    {1, S, nullptr},
    {1, ID_VIEW_ZOOM_SELECTION, nullptr},

    {0, P, "Text"},
    {1, ID_TEXT_INSERT_NOW, nullptr},
    {1, ID_EDIT_TEXT_AND_FONT, nullptr},
    {1, S, nullptr},
    {1, ID_TEXT_CANCEL, nullptr},

    // The quick-insert codes of the insert-text dialog.
    {0, P, "Insert Text"},
    {1, 32886, "Comment\t%c"},
    {1, 33020, "User Comment\t%u"},
    {1, 33050, "Description\t%D"},
    {1, 33052, "Copyright\t%r"},
    {1, 32887, "Copyright sign\t%C"},
    {1, 32884, "Date\t%d"},
    {1, 32888, "Exposure time\t%e"},
    {1, 32889, "F-number\t%f"},
    {1, 32890, "ISO speed ratings\t%i"},
    {1, 32891, "Focal length in 35mm\t%L"},
    {1, 32892, "Focal length\t%l"},
    {1, 32893, "Make\t%M"},
    {1, 32894, "Model\t%m"},
    {1, 32885, "Time\t%t"},
    {1, 32915, "Source file name\t%V"},
    {1, 32895, "Source file name + ext\t%v"},
    {1, 32916, "Destination file name\t%W"},
    {1, 32896, "Destination file name + ext\t%w"},
    {1, 33035, "GPS Latitude\t%GLt"},
    {1, 33036, "GPS Longitude\t%GLg"},
    {1, 33037, "GPS Altitude\t%GAl"},
    {1, 32897, "Percent sign\t%%"},

    // The browser's menu: what works on the selected files.
    {0, P, "Batch"},
    {1, ID_EDIT_ROTATE_LEFT, nullptr},
    {1, ID_EDIT_ROTATE_RIGHT, nullptr},
    {1, ID_EDIT_ROTATE_TO_FLAG, nullptr},
    {1, ID_EDIT_FLIP_HORIZONTAL, nullptr},
    {1, ID_EDIT_FLIP_VERTICAL, nullptr},
    {1, S, nullptr},
    PIXMEND_MACRO_POPUP(1),
    {1, S, nullptr},
    {1, ID_FILE_EMAIL, nullptr},
    {1, ID_FILE_COPY_TO_FOLDER, nullptr},
    {1, ID_FILE_MOVE_TO_FOLDER, nullptr},
    {1, ID_FILE_DELETE, nullptr},
    {1, S, nullptr},
    {1, ID_FILE_SELECT_ALL_ITEMS, nullptr},
};

#undef PIXMEND_FLIP_ROTATE
#undef PIXMEND_MACRO_POPUP
#undef PIXMEND_MODES
#undef PIXMEND_ZOOM

const int kMainToolbar[] = {
    ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_EMAIL, S,
    ID_FILE_DELETE, S,
    ID_FILE_PREV_IMAGE, ID_FILE_NEXT_IMAGE, S,
    ID_EDIT_COPY_SELECTION, ID_EDIT_PASTE, S,
    ID_EDIT_ROTATE_LEFT, ID_EDIT_ROTATE_RIGHT, S,
    ID_EDIT_UNDO, ID_EDIT_REDO, S,
    ID_EDIT_DRAG, ID_EDIT_SELECT, ID_EDIT_CROP, ID_EDIT_RESIZE, ID_EDIT_COLOR, S,
    ID_EDIT_RED_EYE, ID_EDIT_TEXT, S,
    ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_OUT, S,
    ID_ZOOM_COMBO, ID_VIEW_ZOOM_ACTUAL, ID_VIEW_ZOOM_FIT, S,
    ID_FILE_PREFERENCES, S,
    ID_APP_ABOUT,
};

const int kBrowserSortToolbar[] = {ID_FOLDER_REFRESH, ID_FOLDER_UP, S, ID_SORT_LABEL, ID_SORT_COMBO};
const int kBrowserFolderToolbar[] = {ID_FOLDER_COMBO, ID_FOLDER_CHANGE};

struct IconEntry {
    int id;
    const char* name;
};

const IconEntry kIcons[] = {
    {ID_FILE_OPEN, "open"},
    {ID_FILE_SAVE, "save"},
    {ID_FILE_SAVE_AS, "save-as"},
    {ID_FILE_EMAIL, "email"},
    {ID_FILE_DELETE, "delete"},
    {ID_FILE_PREV_IMAGE, "previous"},
    {ID_FILE_NEXT_IMAGE, "next"},
    {ID_EDIT_COPY_SELECTION, "copy"},
    {ID_EDIT_PASTE, "paste"},
    {ID_EDIT_ROTATE_LEFT, "rotate-left"},
    {ID_EDIT_ROTATE_RIGHT, "rotate-right"},
    {ID_EDIT_UNDO, "undo"},
    {ID_EDIT_REDO, "redo"},
    {ID_EDIT_DRAG, "drag"},
    {ID_EDIT_SELECT, "select"},
    {ID_EDIT_CROP, "crop"},
    {ID_EDIT_RESIZE, "resize"},
    {ID_EDIT_COLOR, "color"},
    {ID_EDIT_RED_EYE, "red-eye"},
    {ID_EDIT_TEXT, "text"},
    {ID_VIEW_ZOOM_IN, "zoom-in"},
    {ID_VIEW_ZOOM_OUT, "zoom-out"},
    {ID_VIEW_ZOOM_ACTUAL, "zoom-actual"},
    {ID_VIEW_ZOOM_FIT, "zoom-fit"},
    {ID_FILE_PREFERENCES, "preferences"},
    {ID_APP_ABOUT, "about"},
    {ID_FOLDER_REFRESH, "refresh"},
    {ID_FOLDER_UP, "folder-up"},
    {ID_FOLDER_CHANGE, "folder-change"},
};

} // namespace

std::span<const MenuItemTemplate> MainMenuTemplate()
{
    return kMainMenu;
}

std::span<const MenuItemTemplate> ContextMenuTemplate()
{
    return kContextMenu;
}

std::span<const int> MainToolbarTemplate()
{
    return kMainToolbar;
}

std::span<const int> BrowserSortToolbarTemplate()
{
    return kBrowserSortToolbar;
}

std::span<const int> BrowserFolderToolbarTemplate()
{
    return kBrowserFolderToolbar;
}

QString CommandIconPath(int id)
{
    for (const IconEntry& e : kIcons) {
        if (e.id == id)
            return QStringLiteral(":/icons/") + QLatin1String(e.name) + QStringLiteral(".svg");
    }
    return QString();
}
