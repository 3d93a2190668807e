// The command table of the main window: id, menu text, prompt and tooltip,
// keys, and the handler and update rule of every command the application
// routes. An entry without a handler stays disabled: a rule is attached only
// together with its handler.
//
// Edit frame: a command that changes the open image through an operation or
// the undo history first deactivates the current mode and cancels the
// view's selection, makes the change, and activates the mode again when it
// is available for the image.
#include "AboutDlg.h"
#include "ChildBrowseView.h"
#include "ChildView.h"
#include "ClipboardImage.h"
#include "CommandIds.h"
#include "MainFrame.h"
#include "MenuResources.h"
#include "MessageBoxes.h"
#include "OperConvertGrayscale.h"
#include "OperRotate.h"
#include "PixmendApp.h"
#include "TypingKeysFilter.h"
#include "WebAddresses.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QKeySequence>
#include <QUrl>

#include <algorithm>
#include <cstdint>

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
    {ID_VIEW_ZOOM_IN, "Zoom &In\t+", "Zoom image in\nZoom In (+)", "Num++; Ctrl+Num++; +; ="},
    {ID_VIEW_ZOOM_OUT, "Zoom &Out\t-", "Zoom image out\nZoom Out (-)", "Num+-; Ctrl+Num+-; -; Shift+-"},
    {ID_VIEW_ZOOM_ACTUAL, "Zoom to &Actual Size\t/", "Zoom image to actual size\nZoom to Actual Size (/)",
     "Num+/; /"},
    {ID_VIEW_ZOOM_FIT, "Zoom to &Fit\t*", "Zoom image to fit the view area\nZoom to Fit (*)", "Num+*; *"},
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
    {ID_SORT_COMBO, "", "", ""},
    {ID_FOLDER_COMBO, "", "", ""},
};

QList<QKeySequence> ParseKeys(const char* keys)
{
    // No keys is no shortcut, not one empty sequence.
    if (!*keys)
        return {};
    return QKeySequence::listFromString(QString::fromUtf8(keys), QKeySequence::PortableText);
}

CChildView* View(const CPixmendApp& app)
{
    const CMainFrame* frame = app.GetMainFrame();
    return frame ? frame->GetView() : nullptr;
}

bool ImageOpen(const CPixmendApp& app)
{
    return app.m_image.IsLoaded() != 0;
}

// The edit frame around `change`. Grayscale cancels the selection before the
// mode goes; every other edit the other way round.
void EditFrame(CPixmendApp& app, bool cancelFirst, const std::function<void()>& change)
{
    CMainFrame* frame = app.GetMainFrame();
    CChildView* view = View(app);
    if (cancelFirst && view)
        view->CancelSelection(false);
    if (frame)
        frame->DeactivateCurrentMode();
    if (!cancelFirst && view)
        view->CancelSelection(false);
    change();
    if (frame)
        frame->ActivateCurrentMode(&app.m_image);
}

// Turns and flips: a clone of the rotate prototype set to the transform
// (quarter turns clockwise; flip 1 horizontal, 2 vertical; or the EXIF
// orientation), run inside the edit frame.
void RunTransform(CPixmendApp& app, int rotate, int flip, int toFlag)
{
    EditFrame(app, false, [&] {
        auto* operation = dynamic_cast<COperRotate*>(app.m_operRotate.Clone());
        if (!operation)
            return;
        operation->SetTransform(rotate, flip, toFlag);
        app.RunOperation(operation);
    });
}

void OnEditDrag(CPixmendApp& app)
{
    // Pressing D in the default mode keeps the selection.
    if (app.GetCurrentModeId() == ID_EDIT_DRAG)
        return;
    CChildView* view = View(app);
    if (view)
        view->CancelSelection(false);
    app.SetMode(ID_EDIT_DRAG);
    if (view)
        view->StopTimers();
}

void OnEditSelect(CPixmendApp& app)
{
    CChildView* view = View(app);
    if (view)
        view->CancelSelection(false);
    app.SetMode(ID_EDIT_SELECT);
    if (view) {
        view->StartSelectionTimer();
        view->ResetModeSelection();
    }
}

void OnEditCrop(CPixmendApp& app)
{
    CChildView* view = View(app);
    if (view)
        view->CancelSelection(false);
    app.SetMode(ID_EDIT_CROP);
    if (view) {
        view->StartSelectionTimer();
        view->ResetModeSelection();
    }
    // The width setter with the width as it is clamps the selection to the image.
    if (CMainFrame* frame = app.GetMainFrame()) {
        const CropParams& s = app.m_operCrop.Params();
        frame->GetCropMode().SetSizeFromPanel(CModeCrop::kWidthId, 
            static_cast<int>(std::clamp<int64_t>(int64_t(s.Right) - s.Left, 0, CModeCrop::kMaxCropSide)));
    }
}

void OnEditRedEye(CPixmendApp& app)
{
    CChildView* view = View(app);
    if (view)
        view->CancelSelection(false);
    app.SetMode(ID_EDIT_RED_EYE);
    if (view) {
        view->StartRedEyeTimer();
        // Eyes marked before another mode came between are still there.
        view->SetRedEyeMarked(!app.m_operRedEye.Params().Points.empty());
        view->Host().RedEyeRefreshPreview(*view);
    }
}

void OnEditText(CPixmendApp& app)
{
    // Pressing T in the text mode keeps its text.
    if (app.GetCurrentModeId() == ID_EDIT_TEXT)
        return;
    CChildView* view = View(app);
    if (view)
        view->CancelSelection(false);
    app.SetMode(ID_EDIT_TEXT);
    if (view)
        view->StartTextTimer();
}

void OnCancelSelection(CPixmendApp& app, bool lastOnly)
{
    if (CChildView* view = View(app))
        view->CancelSelection(lastOnly);
}

// F6 and Shift+F6: with two panes both move the focus to the other one.
void SwitchPane(CPixmendApp& app)
{
    CMainFrame* frame = app.GetMainFrame();
    if (!frame || !app.m_bShowBrowser)
        return;
    QWidget* view = frame->GetViewWidget();
    QWidget* browser = frame->GetBrowserView();
    const QWidget* focus = QApplication::focusWidget();
    const bool inView = focus && view && (focus == view || view->isAncestorOf(focus));
    QWidget* target = inView ? browser : view;
    if (target)
        target->setFocus(Qt::OtherFocusReason);
}

} // namespace

// ---- forwarding to the frame and the view ----

int CPixmendApp::GetCurrentModeId() const
{
    const CMainFrame* frame = GetMainFrame();
    return frame ? frame->GetCurrentModeId() : -1;
}

void CPixmendApp::SetMode(int id)
{
    if (CMainFrame* frame = GetMainFrame())
        frame->SetMode(id);
}

void CPixmendApp::SwitchToDefaultMode()
{
    SetMode(ID_EDIT_DRAG);
    if (CChildView* view = View(*this))
        view->StopTimers();
}

void CPixmendApp::InvalidateView()
{
    if (CChildView* view = View(*this))
        view->viewport()->update();
}

void CPixmendApp::ShowModePanel(CPropertyPage* page, const QString& caption)
{
    if (CMainFrame* frame = GetMainFrame())
        frame->ShowModePanel(page, caption);
}

void CPixmendApp::HideModePanel()
{
    if (CMainFrame* frame = GetMainFrame())
        frame->ShowEmptyPanel();
}

bool CPixmendApp::HasImageOrSelectedFiles()
{
    return GetBrowserSelection().HasSelection() || ImageOpen(*this);
}

void CPixmendApp::UpdateModeCommandUI(CCmdUI& ui)
{
    ui.Enable(ImageOpen(*this));
    ui.SetCheck(ui.m_nID == GetCurrentModeId() ? 1 : 0);
}

void CPixmendApp::UpdateZoomCombo(bool force)
{
    if (CMainFrame* frame = GetMainFrame())
        frame->UpdateZoomCombo(force);
}

void CPixmendApp::OnModeApply()
{
    if (CMainFrame* frame = GetMainFrame())
        frame->ApplyCurrentMode();
}

void CPixmendApp::OnEditTextAndFont()
{
    CChildView* view = View(*this);
    if (!view)
        return;
    view->UpdateView(true);
    view->Host().TextModeEditTextAndFont(*view);
    view->UpdateView(true);
}

void CPixmendApp::OnViewDoubleClick()
{
    CChildView* view = View(*this);
    if (view && view->Host().TextModeHasText())
        OnEditTextAndFont();
    else
        OnModeApply();
}

// ---- paste: the clipboard half ----

bool CPixmendApp::HasClipboardImage() const
{
    return m_clipboardImage && m_clipboardImage->HasImage();
}

bool CPixmendApp::TakeClipboardBitmap()
{
    CDib24 taken;
    if (!m_clipboardImage || !m_clipboardImage->Take(&taken))
        return false;
    // The previous picture is freed as the new one takes its place.
    m_pasteBitmap = std::move(taken);
    return true;
}

// ---- help ----

QString CPixmendApp::HelpFilePath(const QString& programPath)
{
    // Only the file name's extension goes: a dot in a folder name (".local")
    // is no extension, and neither is the leading dot of a hidden file.
    const qsizetype nameStart = programPath.lastIndexOf(QLatin1Char('/')) + 1;
    const qsizetype dot = programPath.lastIndexOf(QLatin1Char('.'));
    const QString stem = dot > nameStart ? programPath.left(dot) : programPath;
    return stem + QStringLiteral(".chm");
}

void CPixmendApp::OnHelpContents()
{
    const QString path = HelpFilePath(QCoreApplication::applicationFilePath());
    // A file that is not there would only make the desktop's opener complain
    // in its own words, or not at all.
    if (!QFileInfo(path).isFile() || !QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        MessageBoxes().ShowError(QStringLiteral("Could not display help."));
}

void CPixmendApp::OnHelpWebPage()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePageAddress)));
}

// ---- the table ----

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
    // The macro items: the frame names them each time their popup opens.
    for (int id = ID_MACRO_FIRST; id <= ID_MACRO_LAST; ++id) {
        CommandEntry entry;
        entry.id = id;
        m_commands.Add(std::move(entry));
    }

    // Typing into a field is not taken by the window's keys; the paste rule
    // reads the clipboard flag. Both live as long as the application object.
    if (qApp) {
        qApp->installEventFilter(new CTypingKeysFilter(this));
        m_clipboardImage = new CClipboardImage(this);
    }

    const auto route = [this](int id, std::function<void()> handler, std::function<void(CCmdUI&)> update = {}) {
        m_commands.SetHandler(id, std::move(handler));
        if (update)
            m_commands.SetUpdate(id, std::move(update));
    };
    const auto imageOpen = [this](CCmdUI& ui) { ui.Enable(ImageOpen(*this)); };
    const auto modeRule = [this](CCmdUI& ui) { UpdateModeCommandUI(ui); };

    // Undo and redo.
    route(ID_EDIT_UNDO,
          [this] {
              EditFrame(*this, false, [this] {
                  m_image.GetUndoMan()->Undo();
                  m_image.CreateDib();
                  // The crop mode shows its selection again over the restored image.
                  CChildView* view = View(*this);
                  if (view && GetCurrentModeId() == ID_EDIT_CROP)
                      view->ResetModeSelection();
              });
          },
          [this](CCmdUI& ui) { ui.Enable(ImageOpen(*this) && m_image.GetUndoMan()->CanUndo()); });
    route(ID_EDIT_REDO,
          [this] {
              EditFrame(*this, false, [this] {
                  m_image.GetUndoMan()->Redo();
                  m_image.CreateDib();
              });
          },
          [this](CCmdUI& ui) { ui.Enable(ImageOpen(*this) && m_image.GetUndoMan()->CanRedo()); });

    // Turns, flips and grayscale: through the operations.
    const auto imageOrSelection = [this](CCmdUI& ui) { ui.Enable(HasImageOrSelectedFiles()); };
    const struct {
        int id, rotate, flip, toFlag;
    } transforms[] = {
        {ID_EDIT_FLIP_HORIZONTAL, 0, 1, 0}, {ID_EDIT_FLIP_VERTICAL, 0, 2, 0}, {ID_EDIT_ROTATE_180, 2, 0, 0},
        {ID_EDIT_ROTATE_LEFT, 3, 0, 0},     {ID_EDIT_ROTATE_RIGHT, 1, 0, 0},  {ID_EDIT_ROTATE_TO_FLAG, 0, 0, 1},
    };
    for (const auto& t : transforms)
        route(t.id, [this, t] { RunTransform(*this, t.rotate, t.flip, t.toFlag); }, imageOrSelection);
    route(ID_EDIT_GRAYSCALE,
          [this] {
              // The selection goes before the mode here.
              EditFrame(*this, true, [this] { RunOperation(new COperConvertGrayscale); });
          },
          [this](CCmdUI& ui) {
              IKestrel* lib = m_image.GetLibraryObject();
              ui.Enable(ImageOpen(*this) && lib && lib->CanConvertToGrayscale() != 0);
          });

    // Modes.
    route(ID_EDIT_DRAG, [this] { OnEditDrag(*this); }, modeRule);
    route(ID_EDIT_SELECT, [this] { OnEditSelect(*this); }, modeRule);
    route(ID_EDIT_TEXT, [this] { OnEditText(*this); }, modeRule);
    route(ID_EDIT_TEXT_AND_FONT, [this] { OnEditTextAndFont(); });
    // Resize, colour and reconstruct run no timer; reconstruct keeps the selection.
    const auto enterUntimedMode = [this](int id) {
        if (CChildView* view = View(*this)) {
            if (id != ID_EDIT_RECONSTRUCT)
                view->CancelSelection(false);
            view->StopTimers();
        }
        SetMode(id);
    };
    route(ID_EDIT_RESIZE, [enterUntimedMode] { enterUntimedMode(ID_EDIT_RESIZE); }, [this](CCmdUI& ui) {
        ui.Enable(HasImageOrSelectedFiles());
        ui.SetCheck(GetCurrentModeId() == ID_EDIT_RESIZE ? 1 : 0);
    });
    route(ID_EDIT_COLOR, [enterUntimedMode] { enterUntimedMode(ID_EDIT_COLOR); }, [this](CCmdUI& ui) {
        IKestrel* lib = m_image.GetLibraryObject();
        ui.Enable(ImageOpen(*this) && lib && lib->CanAdjustLevels() != 0);
        ui.SetCheck(GetCurrentModeId() == ID_EDIT_COLOR ? 1 : 0);
    });
    route(ID_EDIT_RECONSTRUCT, [enterUntimedMode] { enterUntimedMode(ID_EDIT_RECONSTRUCT); }, modeRule);
    route(ID_EDIT_RED_EYE, [this] { OnEditRedEye(*this); }, modeRule);
    route(ID_EDIT_CROP, [this] { OnEditCrop(*this); }, [this](CCmdUI& ui) {
        UpdateModeCommandUI(ui);
        // The crop mode follows every update pass: its panel, rule and status.
        if (m_pMainFrame && GetCurrentModeId() == ID_EDIT_CROP)
            m_pMainFrame->OnZoomChanged(false);
    });
    route(ID_TOGGLE_FADE_OUTSIDE, [this] {
        CropParams& crop = m_operCrop.Params();
        crop.FadeOutsideArea = crop.FadeOutsideArea ? 0 : 1;
        if (CChildView* view = View(*this))
            view->UpdateView(true);
    });

    // Apply and cancel: whatever mode is current.
    route(ID_CROP_NOW, [this] { OnModeApply(); }, [this](CCmdUI& ui) {
        const CChildView* view = View(*this);
        ui.Enable(ImageOpen(*this) && view && view->IsSelectionShown());
    });
    for (int id : {ID_RED_EYE_APPLY, ID_PASTE_NOW, ID_TEXT_INSERT_NOW, ID_APPLY_NOW})
        route(id, [this] { OnModeApply(); });
    for (int id : {ID_CROP_CANCEL, ID_RED_EYE_CANCEL_ALL, ID_PASTE_CANCEL, ID_COPY_CANCEL, ID_TEXT_CANCEL})
        route(id, [this] { OnCancelSelection(*this, false); });
    route(ID_RED_EYE_CANCEL_LAST, [this] { OnCancelSelection(*this, true); });

    // Zoom.
    route(ID_VIEW_ZOOM_IN, [this] {
        if (CChildView* view = View(*this))
            view->ZoomIn();
    }, [this](CCmdUI& ui) {
        const CChildView* view = View(*this);
        ui.Enable(ImageOpen(*this) && view && view->CanZoom(true));
    });
    route(ID_VIEW_ZOOM_OUT, [this] {
        if (CChildView* view = View(*this))
            view->ZoomOut();
    }, [this](CCmdUI& ui) {
        const CChildView* view = View(*this);
        ui.Enable(ImageOpen(*this) && view && view->CanZoom(false));
    });
    route(ID_VIEW_ZOOM_ACTUAL, [this] {
        if (CChildView* view = View(*this))
            view->ZoomActual();
    }, imageOpen);
    route(ID_VIEW_ZOOM_FIT, [this] {
        if (CChildView* view = View(*this))
            view->ZoomToFit(false);
    }, imageOpen);
    route(ID_VIEW_ZOOM_SELECTION, [this] {
        if (CChildView* view = View(*this)) {
            view->ZoomToSelection();
            view->CancelSelection(false);
        }
    }, [this](CCmdUI& ui) {
        const CChildView* view = View(*this);
        ui.Enable(ImageOpen(*this) && view && view->IsSelectionShown());
    });

    // Panes: only beside the browser.
    for (int id : {ID_NEXT_PANE, ID_PREV_PANE})
        route(id, [this] { SwitchPane(*this); }, [this](CCmdUI& ui) {
            ui.Enable(m_bShowBrowser != 0 && GetMainFrame() != nullptr);
        });

    // Help.
    route(ID_HELP_CONTENTS, [this] { OnHelpContents(); });
    route(ID_HELP_WEB_PAGE, [this] { OnHelpWebPage(); });
    route(ID_APP_ABOUT, [this] {
        CAboutDlg dlg(m_pMainFrame);
        dlg.exec();
    });
    // Copy applies the select mode and needs a selection there; paste takes
    // the clipboard's picture and hands it to the paste mode.
    route(ID_EDIT_COPY_SELECTION, [this] { OnModeApply(); }, [this](CCmdUI& ui) {
        const CChildView* view = View(*this);
        ui.Enable(ImageOpen(*this) && view && view->IsSelectionShown() && GetCurrentModeId() == ID_EDIT_SELECT);
    });
    route(ID_EDIT_PASTE, [this] {
        if (m_pMainFrame && TakeClipboardBitmap())
            m_pMainFrame->GetPasteMode().StartPaste(&m_pasteBitmap);
    }, [this](CCmdUI& ui) {
        ui.Enable(ImageOpen(*this) && HasClipboardImage());
        ui.SetCheck(GetCurrentModeId() == ID_EDIT_PASTE ? 1 : 0);
    });
    route(ID_MACRO_MANAGER, [this] { OnMacroManager(); });
    // The folder browser's list and its two combos.
    route(ID_FILE_SELECT_ALL_ITEMS, [this] {
        if (CChildBrowseView* browser = GetBrowser())
            browser->GetBrowseDlg().SetAllSelected(true);
    }, [this](CCmdUI& ui) {
        const CChildBrowseView* browser = GetBrowser();
        ui.Enable(browser && browser->GetItemCount() > 0);
    });
    route(ID_SORT_COMBO, [this] {
        if (CChildBrowseView* browser = GetBrowser())
            browser->GetBrowseDlg().OnSortChange();
    });
    route(ID_FOLDER_COMBO, [this] {
        if (CChildBrowseView* browser = GetBrowser())
            browser->GetBrowseDlg().OnFolderComboSelect();
    });
    // E-mail takes the run's files without the edit frame; the run appends no save.
    route(ID_FILE_EMAIL, [this] { RunOperation(m_operEmail.Clone()); }, imageOrSelection);
    route(ID_FILE_PREFERENCES, [this] { OnFilePreferences(); });
    route(ID_APP_EXIT, [this] {
        if (m_pMainFrame)
            m_pMainFrame->close();
    });
}
