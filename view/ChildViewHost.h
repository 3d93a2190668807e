// CViewHost: everything the image view reaches outside itself — the crop
// operation's selection and options, the current interactive mode, the main
// frame and the file commands.
//
// SEAM: the modes, the frame's zoom box and status bar and the dropped-file
// opener are built later. Until then this default host models the current
// mode by its command id only and leaves the frame's parts out. The later
// pieces derive from it (or replace the bodies) and hand their host to the view.
#pragma once

#include "AppSettings.h"
#include "OperCrop.h"

#include <QImage>
#include <QPoint>
#include <QRegion>
#include <QString>

#include <functional>

class CChildView;
class CCommandTable;
class CKsImage;
class QPainter;

// What the view reaches of the running application, handed down by it: the
// application fills the hooks when it starts and empties them when it ends.
// An empty hook (or a null answer) means no application.
struct ViewAppHooks {
    std::function<CCommandTable*()> commands;
    std::function<CropParams*()> cropOptions;
    std::function<CAppSettings*()> settings;
    std::function<void(const QString& path)> openDroppedFile;
    // The application's own view; its double click goes to viewDoubleClick.
    std::function<const CChildView*()> mainView;
    std::function<void()> viewDoubleClick;
};
ViewAppHooks& TheViewAppHooks();

// The range of the red-eye radius the red-eye panel allows.
inline constexpr int kRedEyeRadiusMin = 1;
inline constexpr int kRedEyeRadiusMax = 50;

class CViewHost {
public:
    CViewHost();
    virtual ~CViewHost();
    CViewHost(const CViewHost&) = delete;
    CViewHost& operator=(const CViewHost&) = delete;

    // The application's crop block (a private one without an application):
    // its Left/Top/Right/Bottom are the selection (SelectionRect), the rest
    // steers how the view shows and moves it.
    virtual CropParams& Selection() { return CropOptions(); }
    virtual CropParams& CropOptions();
    // The application's settings record (a private one without an application).
    virtual CAppSettings& Settings();

    // The current mode: its command id, or -1 without one.
    virtual int CurrentModeId() const { return m_modeId; }
    virtual bool ModeKeepsSelection() const;
    virtual void ModeResetSelection(CChildView& view);
    // A left click at image pixel (x, y) in a mode that keeps no selection;
    // non-zero when the mode used it.
    virtual int ModeOnClick(CChildView& view, int x, int y);
    virtual int ModeCursorId() const;
    virtual int ModeContextMenuIndex(const CChildView& view) const;
    // The frame's CancelModeSelection: the current mode drops its selection.
    virtual void ModeCancel(CChildView& view, bool lastOnly);
    virtual void ModeApply(CChildView& view);
    // The bitmap the view shows, rows of Format_BGR888 that the view reads in
    // place. Null when there is nothing to show.
    virtual QImage ModeDisplayImage(CChildView& view, CKsImage& image);
    virtual void ModeDrawOverlay(QPainter& painter, CChildView& view);

    // The crop mode's current crop rule: its kind (0 fixed aspect, 1 fixed
    // size in pixels), or -1 when no rule is current.
    virtual int CropRuleKind() const { return -1; }

    // The red-eye mode: number of marked eyes, moving the last one, the preview.
    virtual int RedEyeCount() const { return 0; }
    virtual void RedEyeMoveLast(int /*dx*/, int /*dy*/) {}
    virtual void RedEyeRefreshPreview(CChildView& /*view*/) {}
    virtual int RedEyeRadius() const { return m_redEyeRadius; }
    virtual void SetRedEyeRadius(int radius) { m_redEyeRadius = radius; }

    // The text mode: whether it holds a text, its frame, its edit dialog.
    virtual bool TextModeHasText() const { return false; }
    virtual void TextModeDrawFrame(QPainter& /*painter*/, int /*originX*/, int /*originY*/, unsigned /*zoom*/) {}
    virtual void TextModeEditTextAndFont(CChildView& /*view*/) {}
    // The client band the text frames cover at that origin and zoom.
    virtual QRegion TextModeFrameRegion(int /*originX*/, int /*originY*/, unsigned /*zoom*/) const { return {}; }

    // The frame: zoom changed (status texts, zoom box, the mode's panel).
    virtual void OnViewChanged(CChildView& /*view*/) {}
    // A command sent to the main window; the application's command table.
    virtual void SendCommand(int id);
    // Submenu `index` of the view's context menu at a screen point.
    virtual void ShowContextMenu(int /*index*/, QPoint /*globalPos*/) {}
    // The file commands' open routine for a file dropped on the view.
    virtual void OpenDroppedFile(const QString& path);
    // The folder browser's list holds the keyboard focus.
    virtual bool BrowserListHasFocus() const { return false; }

    // The default host's stand-in for the mode list.
    void SetModeId(int id) { m_modeId = id; }

private:
    CropParams m_crop;
    CAppSettings m_ownSettings;
    int m_modeId;
    int m_redEyeRadius = 10;
};
