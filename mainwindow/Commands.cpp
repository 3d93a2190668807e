// The command table of the main window: id, menu text, prompt and tooltip,
// keys. Handlers and update rules are attached here as the commands are built;
// an entry without a handler stays disabled.
#include "AboutDlg.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "MenuResources.h"
#include "PixmendApp.h"

#include <QKeySequence>

namespace {

struct CommandText {
    int id;
    const char* menuText;
    const char* prompt; // prompt, line feed, tooltip
    const char* keys;   // QKeySequence portable texts separated by "; "
};

// "Num+" marks the numeric keypad.
const CommandText kCommands[] = {
    {ID_FILE_OPEN, "&Open...\tCtrl+O", "Open an existing image\nOpen (Ctro+O)", "Ctrl+O"},
    {ID_FILE_CLOSE, "&Close\tCtrl+W", "Close image\nClose", "Ctrl+W"},
    {ID_FILE_SAVE, "&Save\tCtrl+S", "Save the current image\nSave (Ctrl+S)", "Ctrl+S"},
    {ID_FILE_SAVE_AS, "Save &As...\tCtrl+Shift+S", "Save the current image with new name\nSave As (Ctrl+Shift+S)",
     "Ctrl+Shift+S"},
    {ID_FILE_COPY_TO_FOLDER, "Copy to &Folder...", "Copy selected file(s) to specified folder\nCopy to Folder", ""},
    {ID_FILE_MOVE_TO_FOLDER, "&Move to Folder...", "Move selected file(s) to specified folder\nMove to Folder", ""},
    {ID_FILE_EMAIL, "&Email...\tAlt+M", "Email image(s) as attachment\nEmail (Alt+M)", "Alt+M"},
    {ID_FILE_DELETE, "&Delete\tDel", "Move image(s) to Recycle Bin\nDelete (Del)", "Del"},
    {ID_FILE_DELETE_CURRENT, "", "Delete the current image\nDelete (Shift + Del)", "Shift+Del"},
    {ID_FILE_SELECT_ALL_ITEMS, "Select A&ll Items", "Select all items\nSelect All", ""},
    {ID_FILE_PREV_IMAGE, "&Previous Image\tPgUp", "Previous image in the folder\nPrevious (PgUp)", "PgUp; Shift+PgUp"},
    {ID_FILE_NEXT_IMAGE, "&Next Image\tPgDn", "Next image in the folder\nNext (PgDn)", "PgDown; Shift+PgDown"},
    {ID_FILE_FIRST_IMAGE, "&First Image\tHome", "First image in the folder\nFirst (Home)", "Home"},
    {ID_FILE_LAST_IMAGE, "&Last Image\tEnd", "Last image in the folder\nLast (End)", "End"},
    {ID_FILE_PREFERENCES, "P&references\tCtrl+P", "Edit preferences\nPreferences (Ctrl+P)", "Ctrl+P"},
    {ID_APP_EXIT, "E&xit", "Quit the application\nExit (Alt+F4)", ""},
    {ID_EDIT_UNDO, "&Undo\tCtrl+Z", "Undo the last action\nUndo (Ctrl+Z)", "Ctrl+Z; Alt+Backspace"},
    {ID_EDIT_REDO, "Re&do\tCtrl+Y", "Redo the previously undone action\nRedo (Ctrl+Y)", "Ctrl+Y"},
    {ID_EDIT_CUT, "", "Cut the selection and put it on the Clipboard\nCut (Ctrl+X)", "Ctrl+X"},
    {ID_EDIT_COPY_SELECTION, "&Copy\tCtrl+C", "Copy selected block to the clipboard\nCopy Selection (Ctrl+C)", "Ctrl+C"},
    {ID_EDIT_PASTE, "&Paste\tCtrl+V", "Insert the clipboard contents\nPaste (Ctrl+V)", "Ctrl+V; Shift+Ins"},
    {ID_EDIT_SELECT_ALL, "", "Select the whole image\nSelect all", ""},
    {ID_EDIT_FLIP, "&Flip", "Flip\nFlip", ""},
    {ID_EDIT_FLIP_HORIZONTAL, "&Horizontal\tH", "Flip image(s) horizontally\nHorizontal flip (H)", "H"},
    {ID_EDIT_FLIP_VERTICAL, "&Vertical\tV", "Flip image(s) vertically\nVertical flip (V)", "V"},
    {ID_EDIT_ROTATE_LEFT, "&Left\tL", "Rotate image(s) 90° counter-clockwise\nRotate Left (L)", "L"},
    {ID_EDIT_ROTATE_RIGHT, "&Right\tR", "Rotate image(s) 90° clockwise\nRotate Right (R)", "R"},
    {ID_EDIT_ROTATE_180, "&180°", "Rotate image(s) 180°\nRotate 180°", ""},
    {ID_EDIT_ROTATE_TO_FLAG, "To Orientation &Flag\tCtrl+R",
     "Rotate image(s) according to orientation flag\nRotate to Flag (Ctrl+R)", "Ctrl+R"},
    {ID_EDIT_DRAG, "&Drag\tD", "Drag the image\nDrag (D)", "D"},
    {ID_EDIT_SELECT, "&Select\tS", "Select an image fragment\nSelect (S)", "S; Ctrl+Ins"},
    {ID_EDIT_CROP, "Cro&p\tC", "Crop image(s)\nCrop (C)", "C"},
    {ID_EDIT_RESIZE, "Resize/Resample\tAlt+R", "Resize / resample image(s)\nResize/Resample (Alt+R)", "Alt+R"},
    {ID_EDIT_COLOR, "Brightness/Color...\tB", "Adjust Brightness/Color\nBrightness/Color (B)", "B"},
    {ID_EDIT_GRAYSCALE, "Grayscale", "Gray Scale", ""},
    {ID_EDIT_RED_EYE, "Red &Eye\tE", "Remove red eye\nRed Eye (E)", "E"},
    {ID_EDIT_TEXT, "&Text\tT", "Insert text into image(s)\nInsert Text (T)", "T"},
    {ID_EDIT_RECONSTRUCT, "Reco&nstruct...\tCtrl+Shift+R", "Reconstruct the Image", "Ctrl+Shift+R"},
    {ID_VIEW_ZOOM_IN, "Zoom &In\t+", "Zoom image in\nZoom In (+)", "Num++; Ctrl+Num++; +; Shift++"},
    {ID_VIEW_ZOOM_OUT, "Zoom &Out\t-", "Zoom image out\nZoom Out (-)", "Num+-; Ctrl+Num+-; -; Shift+-"},
    {ID_VIEW_ZOOM_ACTUAL, "Zoom to &Actual Size\t/", "Zoom image to actual size\nZoom to Actual Size (/)",
     "Num+/; /"},
    {ID_VIEW_ZOOM_FIT, "Zoom to &Fit\t*", "Zoom image to fit the view area\nZoom to Fit (*)", "Num+*; *; Shift+8"},
    {ID_VIEW_ZOOM_SELECTION, "Zoom to Se&lection\tZ", "Zoom to selection\nZoom to selection", ""},
    {ID_VIEW_TOOLBAR, "&Toolbar", "Show or hide the toolbar\nToggle ToolBar", ""},
    {ID_VIEW_STATUS_BAR, "&Status Bar", "Show or hide the status bar\nToggle StatusBar", ""},
    {ID_CROP_NOW, "Crop now\tEnter", "Crop currently selected image fragment\nCrop Now (Enter)", ""},
    {ID_RED_EYE_APPLY, "Apply\tEnter", "Apply red eye removal changes\nApply", ""},
    {ID_PASTE_NOW, "Paste now\tEnter", "Paste block into current position\nPaste Now (Enter)", ""},
    {ID_TEXT_INSERT_NOW, "Insert Text\tEnter", "Insert current text to selected position\nInsert Current Text (Enter)",
     ""},
    {ID_APPLY_NOW, "", "", "Return; Num+Enter"},
    {ID_CROP_CANCEL, "Cancel\tEsc", "Cancel current selection\nCancel (Esc)", "Esc"},
    {ID_RED_EYE_CANCEL_ALL, "Cancel all\tEsc", "Cancel red eye changes\nCancel All (Esc)", ""},
    {ID_PASTE_CANCEL, "Cancel\tEsc", "Cancel current paste operation\nCancel (Esc)", ""},
    {ID_COPY_CANCEL, "Cancel\tEsc", "Cancel current selection\nCancel (Esc)", ""},
    {ID_TEXT_CANCEL, "Cancel\tEsc", "Cancel current text insertion\nCancel (Esc)", ""},
    {ID_RED_EYE_CANCEL_LAST, "Cancel last selection\tShift + Esc",
     "Cancel last red eye selection\nCancel Last Selection (Shift+Esc)", "Shift+Esc"},
    {ID_EDIT_TEXT_AND_FONT, "Edit Text and Font...", "Edit text and font settings\nEdit Text (Ctrl+T)", "Ctrl+T"},
    {ID_TOGGLE_FADE_OUTSIDE, "", "", "Ctrl+Shift+F"},
    {ID_FOLDER_CHANGE, "", "Change Current Folder\nChange Folder", "Ctrl+Shift+O"},
    {ID_FOLDER_REFRESH, "", "Refresh Current Folder\nRefresh Folder", "F5"},
    {ID_FOLDER_UP, "", "Go to Parent Folder\nUp One Level", "Backspace"},
    {ID_NEXT_PANE, "", "Switch to the next window pane\nNext Pane", "F6"},
    {ID_PREV_PANE, "", "Switch back to the previous window pane\nPrevious Pane", "Shift+F6"},
    {ID_MACRO_MANAGER, "Edit Macro Actions...\tCtrl+B", "", "Ctrl+B"},
    {ID_HELP_CONTENTS, "&Pixmend Help", "Display Pixmend help\nHelp", "F1"},
    {ID_HELP_WEB_PAGE, "&Web Page", "Open Pixmend Home page\nHome page", ""},
    {ID_APP_ABOUT, "&About Pixmend...", "", ""},
    {ID_ZOOM_COMBO, "", "", ""},
};

QList<QKeySequence> ParseKeys(const char* keys)
{
    return QKeySequence::listFromString(QString::fromUtf8(keys), QKeySequence::PortableText);
}

} // namespace

void CPixmendApp::RegisterCommands()
{
    for (const CommandText& c : kCommands) {
        CommandEntry entry;
        entry.id = c.id;
        entry.menuText = QString::fromUtf8(c.menuText);
        entry.prompt = QString::fromUtf8(c.prompt);
        entry.keys = ParseKeys(c.keys);
        entry.icon = CommandIconPath(c.id);
        m_commands.Add(std::move(entry));
    }

    m_commands.SetHandler(ID_APP_ABOUT, [this] {
        CAboutDlg dlg(m_pMainFrame);
        dlg.exec();
    });
    m_commands.SetHandler(ID_FILE_PREFERENCES, [this] { OnFilePreferences(); });
    m_commands.SetHandler(ID_APP_EXIT, [this] {
        if (m_pMainFrame)
            m_pMainFrame->close();
    });
}
