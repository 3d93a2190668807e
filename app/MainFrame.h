// CMainFrame: the program's main window. It holds the menu bar, the main
// toolbar with its zoom box, the status bar, the docking pane ("Edit") that
// shows the current mode's panel, and the client area: the folder browser
// and the image view side by side in a splitter, or the view alone when the
// program was started with "-nb". It stores its placement when it goes.
//
// Commands reach the frame through the application's command table; after
// every command the frame refreshes its status texts and the title.
#pragma once

#include "BrowserSelection.h"
#include "Mode.h"
#include "ModeColor.h"
#include "ModeCopy.h"
#include "ModeCrop.h"
#include "ModePane.h"
#include "ModePaste.h"
#include "ModeRedEye.h"
#include "ModeText.h"

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <QStringList>

#include <functional>

class CChildBrowseView;
class CChildView;
class CCustomStatusBar;
class CKsImage;
class CPropertyPage;
class QAction;
class QComboBox;
class QDockWidget;
class QMenu;
class QSplitter;
class QToolBar;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    // The image view's least width beside the browser pane (at 100 %): a
    // stored pane width never squeezes the view below it.
    static constexpr int kMinViewWidth = 200;

    CMainFrame();
    // Stores the window placement into the settings record on the way out.
    ~CMainFrame() override;

    // Shows the application's open image (or none) in the view.
    void ShowImage();
    // Puts a first picture of a photo about to open on screen at once, where
    // the view will show the photo; false when the view has no place for it.
    bool ShowPreview(const QImage& picture, QSize imageSize);

    // The interactive modes, through the mode list. Without a current mode
    // the id is -1, the cursor -1 and the context submenu 1.
    IMode* GetCurrentMode() const { return m_modeList.GetCurrentMode(); }
    void AddMode(IMode* mode) { m_modeList.AddMode(mode); }
    int GetCurrentModeId() const;
    // Switches only when `id` differs from the current mode; returns `id`.
    int SetMode(int id);
    // Activates the current mode when it is available for `image`.
    void ActivateCurrentMode(CKsImage* image);
    void DeactivateCurrentMode();
    void ApplyCurrentMode();
    void CancelModeSelection(bool lastOnly);
    int GetModeContextMenuIndex() const;
    int GetModeCursorId() const;
    CModePaste& GetPasteMode() { return m_modePaste; }
    CModeRedEye& GetRedEyeMode() { return m_modeRedEye; }
    CModeCrop& GetCropMode() { return m_modeCrop; }
    // The current crop rule while the crop mode is current, else null.
    const CropRule* GetCurrentCropRule() const;
    CModeText& GetTextMode() { return m_modeText; }

    // The mode pane: a mode's panel with its caption (the focus then comes
    // back to the frame), or the empty page captioned "Edit".
    void ShowModePanel(CPropertyPage* page, const QString& caption);
    void ShowEmptyPanel();

    // Status pane 0.
    void SetStatusText(const QString& text);
    // Panes 1 and 2: the image size or the selection, and its print quality.
    void UpdateStatusTexts();
    // The view's zoom changed: the zoom box follows, then the mode's panel.
    void OnZoomChanged(bool force);
    // The zoom box shows the view's zoom: a table step by its index (always
    // when `force`, else only while nothing is selected), a free zoom as percent.
    void UpdateZoomCombo(bool force);

    // Popup `index` of context menu 140 at a screen point; negative shows nothing.
    void ShowContextMenu(int index, const QPoint& globalPos);
    // The same popup as a new menu, a child of the frame that the caller
    // deletes before the frame goes; null when out of range.
    QMenu* CreateContextMenu(int index);

    // The refresh that ends every command; other parts call it to force one.
    void RefreshAfterCommand();

    // The macro names in list order; the macro popups list them each time they open.
    void SetMacroNamesSource(std::function<QStringList()> source) { m_macroNames = std::move(source); }
    void FillMacroMenu(QMenu* menu);

    // The browser's selection and listing calls; the empty selection until a
    // browser (or a test) installs one. Not owned; null restores the empty one.
    IBrowserSelection& GetBrowserSelection() { return m_browserSelection ? *m_browserSelection : m_noSelection; }
    void SetBrowserSelection(IBrowserSelection* selection) { m_browserSelection = selection; }

    // Toolbar and status bar commands.
    void OnViewToolbar();
    void OnViewStatusBar();

    QToolBar* GetToolBar() const { return m_toolBar; }
    CCustomStatusBar* GetStatusBar() const { return m_statusBar; }
    CModePane* GetModePane() const { return m_modePane; }
    QComboBox* GetZoomCombo() const { return m_zoomCombo; }
    QSplitter* GetSplitter() const { return m_splitter; }
    QWidget* GetViewWidget() const { return m_view; }
    CChildView* GetView() const;
    QWidget* GetBrowserView() const;
    CChildBrowseView* GetBrowser() const { return m_browser; }
    QString GetSkinFolder() const { return m_strSkinFolder; }

    // The status texts, kept apart from their widgets so they can be tested.
    static QString SelectionStatusText(int left, int top, int right, int bottom);
    static QString ImageSizeStatusText(int width, int height);
    // Pixels per inch of a selection printed at a crop rule's size (units 1
    // centimetres, 2 inches); -2 when the rule gives no printed size.
    static int PrintResolution(int left, int top, int right, int bottom, double ruleWidth, double ruleHeight,
                               int units);
    static const QStringList& ZoomComboItems();

protected:
    void closeEvent(QCloseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void CreateBars(int dpiScale);
    void CreateModePane(int dpiScale);
    void CreateClient(int dpiScale);
    void CreateModes();
    void RegisterFrameCommands();
    QAction* CreateZoomComboAction(int dpiScale);

    // The modes, in declaration order; the list holds them in the order
    // they are added.
    CModeDefault m_modeDefault;
    CModeCrop m_modeCrop;
    CModeRedEye m_modeRedEye;
    CModeCopy m_modeCopy;
    CModePaste m_modePaste;
    CModeText m_modeText;
    CModeColor m_modeColor;
    CModeResize m_modeResize;
    CModeReconstruct m_modeReconstruct;
    CModeList m_modeList;

    QWidget* m_view = nullptr;
    CChildBrowseView* m_browser = nullptr;
    QSplitter* m_splitter = nullptr;
    QToolBar* m_toolBar = nullptr;
    QComboBox* m_zoomCombo = nullptr;
    CCustomStatusBar* m_statusBar = nullptr;
    CModePane* m_modePane = nullptr;
    QString m_strSkinFolder;
    QString m_strStatusText;
    std::function<QStringList()> m_macroNames;
    CNoBrowserSelection m_noSelection;
    IBrowserSelection* m_browserSelection = nullptr;
};
