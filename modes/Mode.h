// modes/: the interactive modes, the mode pane and the mode panels. They may
// include view/, dialogs/, controls/, engine/ and below; what they need of the
// application they reach through IModeHost (ModeHost.h), which it implements.
//
// Interactive modes. A mode decides what the left button, the context menu,
// the cursor and the picture in the image view mean while it is current, and
// which panel the mode pane shows. The frame owns one object per mode for the
// whole run and keeps them in a CModeList; the view reaches the current one
// through its host.
//
// Every mode works on the view's selection (the host's SelectionRect) and the
// open image; neither is owned by a mode. A mode's own temporaries (display
// bitmap, previews) live from Activate or the first paint until Deactivate or
// Cancel.
#pragma once

#include "Dib24.h"

#include <QImage>
#include <QPointer>
#include <QRect>
#include <QWidget>

#include <vector>

class CChildView;
class CKsImage;
class CModePanel;
class CPropertyPage;
class IOperation;
class QPainter;

class IMode {
public:
    virtual ~IMode() = default;
    // The menu command id that selects the mode.
    virtual int GetCommandId() const = 0;
    // Refills the mode's panel from the current state.
    virtual void RefreshPanel() = 0;
    virtual void Activate() = 0;
    virtual void Deactivate() = 0;
    // The mode's edit on the current selection or settings.
    virtual void Apply() = 0;
    // Drops the mode's selection; lastOnly drops only the last mark.
    virtual void Cancel(bool lastOnly) = 0;
    // The submenu of context menu 140.
    virtual int GetContextMenuIndex() const = 0;
    // > 0 a cursor resource, -1 to -10 a system cursor.
    virtual int GetCursorId() const = 0;
    virtual void ResetSelection() = 0;
    // The mode works on SelectionRect.
    virtual bool KeepsSelection() const = 0;
    virtual bool IsAvailable(CKsImage* image) const = 0;
    // The bitmap the view shows: rows of Format_BGR888 read in place, valid
    // until the mode or the image changes it. Null when there is nothing.
    virtual QImage SelectDisplayBitmap(CChildView* view) = 0;
    virtual void DrawOverlay(QPainter& painter, CChildView* view) = 0;
    // Left button down at image pixel (x, y) in a mode that keeps no
    // selection; non-zero when the click was used (otherwise the view pans).
    virtual int OnClick(CChildView* view, int x, int y) = 0;
};

class CMode : public IMode {
public:
    CMode(int commandId, int contextMenuIndex, int cursorId);
    ~CMode() override;
    CMode(const CMode&) = delete;
    CMode& operator=(const CMode&) = delete;

    int GetCommandId() const override { return m_nCommandId; }
    void RefreshPanel() override {}
    void Apply() override {}
    void Cancel(bool /*lastOnly*/) override {}
    int GetContextMenuIndex() const override { return 1; }
    int GetCursorId() const override { return m_nCursorId; }
    void ResetSelection() override;
    bool KeepsSelection() const override { return UsesSelectionRect(); }
    bool IsAvailable(CKsImage* /*image*/) const override { return true; }
    QImage SelectDisplayBitmap(CChildView* view) override;
    void DrawOverlay(QPainter& /*painter*/, CChildView* /*view*/) override {}
    int OnClick(CChildView* /*view*/, int /*x*/, int /*y*/) override { return 0; }

    // Keeps SelectionRect inside the open image, moving it by whole MCUs so
    // it stays on the block grid; with allowOutward (and the crop option)
    // it may reach past the right and bottom edges.
    void ClampSelection(bool allowOutward);
    virtual bool UsesSelectionRect() const = 0;

    // The clamp on plain values: width, height and MCU size of the image.
    // Steps are counted, never looped, so any stored edges return at once.
    static void ClampRect(int& left, int& top, int& right, int& bottom, int width, int height, int mcuWidth,
                          int mcuHeight, bool outward);

    int GetSubmenuIndex() const { return m_nContextMenuIndex; }
    bool HasDisplayBitmap() const { return !m_displayBitmap.IsNull(); }

protected:
    void DeleteDisplayBitmap();
    // The mode's display bitmap becomes a copy of the image's (rebuilt first
    // when an edit dropped it); returns its first row, null on failure.
    BYTE* CopyImageBitmap(CKsImage* image);
    // The selection outline through the view's one routine; the client rectangle.
    QRect DrawSelectionFrame(QPainter& painter, CChildView* view);

    // The view's selectionShown = 0 and a repaint.
    static void HideSelection();
    // The frame's image view and the open image, null when there is none.
    static CChildView* View();
    static CKsImage* Image();
    // Shows `page` in the mode pane under `caption`; the empty page.
    static void ShowPanel(CPropertyPage* page, const QString& caption);
    static void HidePanel();
    // Back to the drag mode with the view's timers stopped.
    static void SwitchToDefaultMode();

    int m_nContextMenuIndex;
    int m_nCursorId;
    CDib24 m_displayBitmap;
    int m_nCommandId;
};

// A mode that edits through one of the application's operation prototypes.
class COperationMode : public CMode {
public:
    COperationMode(int commandId, int contextMenuIndex, int cursorId, const char* panelName, const char* caption);
    void Activate() override;
    void Deactivate() override;
    bool UsesSelectionRect() const override { return false; }

    // The application's prototype (not owned).
    void SetOperation(IOperation* operation) { m_pOperation = operation; }
    IOperation* GetOperation() const { return m_pOperation; }

protected:
    // The mode's own panel, shown on Activate.
    virtual CModePanel* Panel() = 0;

private:
    IOperation* m_pOperation = nullptr;
    const char* m_panelName;
    const char* m_caption;
};

// The modes in the order they were added and the current one; owns none.
class CModeList {
public:
    void AddMode(IMode* mode) { m_modes.push_back(mode); }
    // Nothing when `commandId` is current; otherwise the current mode is
    // deactivated and the first mode with that id becomes current and is
    // activated. An unknown id leaves the old mode current but deactivated.
    void SetMode(int commandId);
    IMode* GetCurrentMode() const { return m_current; }
    const std::vector<IMode*>& Modes() const { return m_modes; }

private:
    std::vector<IMode*> m_modes;
    IMode* m_current = nullptr;
};

// The drag mode: a drag inside the image pans the view.
class CModeDefault : public CMode {
public:
    CModeDefault();
    void Activate() override {}
    void Deactivate() override {}
    // The drag mode shows no selection: a cancel (a mode command, an edit)
    // leaves none behind.
    void Cancel(bool lastOnly) override;
    bool UsesSelectionRect() const override { return false; }
};
