// view/: the image view (geometry and zoom, painting and selection, input in
// ChildView*.cpp) and its host. It may include dialogs/, controls/, engine/
// and below; what it needs of the application it is handed (ViewAppHooks in
// ChildViewHost.h), and the modes reach it through its host, not it them.
//
// CChildView: the image view. Shows the open image's display bitmap at a zoom
// in 1/256 units, scrolls it around a centre point, and turns mouse, wheel and
// keys into work on the selection (snapped to the MCU grid) or into calls on
// the current mode. The view owns neither the image nor the selection: the
// application sets the image, the crop operation holds the selection (both
// reached through the host).
#pragma once

#include "ChildViewHost.h"
#include "View.h"

#include <QAbstractScrollArea>
#include <QRect>
#include <QTimer>

#include <array>
#include <memory>

class CCommandTable;
class CKsImage;

// The twenty zoom steps, 3.125 % to 5000 %; 256 = 100 % at index 9.
inline constexpr std::array<unsigned, 20> kZoomTable = {8,   10,  16,  21,   32,   51,   85,   128,  170,  256,
                                                        384, 512, 768, 1280, 1792, 2560, 3840, 5120, 7680, 12800};

class CChildView : public QAbstractScrollArea, public IView {
    Q_OBJECT
public:
    // Without a host the view makes a default one of its own.
    explicit CChildView(QWidget* parent = nullptr, CViewHost* host = nullptr);
    ~CChildView() override;

    // The frame's factory; also gives the application's command table the
    // view's own command (Select All) when an application exists.
    static CChildView* CreateView(QWidget* parent = nullptr);
    void RegisterCommands(CCommandTable& commands);

    CViewHost& Host() { return *m_host; }
    // Takes a host (not owned); null returns to the view's default host.
    void SetHost(CViewHost* host);

    // IView
    void OnImageChanged() override;
    // How many changes of the image the view has heard of: an edit, its
    // undo or redo, another image.
    unsigned ImageChangeCount() const { return m_imageChanges; }
    void SwapDimensions() override;

    void AttachImage(CKsImage* image);
    CKsImage* GetImage() const { return m_image; }
    bool IsImageLoaded() const;
    // A first picture of a `imageSize` photo about to be opened, shown where
    // the open will fit the photo to the client until an image is attached.
    // Only where the open shrinks the photo to fit (ScaleOnOpen 1 and a photo
    // larger than the client); false, and nothing kept, otherwise.
    bool ShowPreview(const QImage& picture, QSize imageSize);
    bool HasPreview() const { return !m_preview.isNull(); }

    void UpdateView(bool notifyFrame);
    void CancelSelection(bool lastOnly);
    void ResetModeSelection();
    void AlignSelection();
    void SelectAll();

    void ZoomIn();
    void ZoomOut();
    bool CanZoom(bool in) const;
    void ZoomActual();
    void SetZoomIndex(int index);
    void ZoomToFit(bool onlyShrink);
    void ZoomToSelection();

    int GetZoomedWidth() const;
    int GetZoomedHeight() const;
    bool IsPointInImage(int x, int y) const;

    void StartSelectionTimer();
    void StartRedEyeTimer();
    void StartTextTimer();
    void StopTimers();
    // Timer 1, 2 or 3 runs.
    bool IsTimerActive(int id) const;

    bool IsPasteMode() const;

    // The outline of the selection in client coordinates, as the modes draw
    // it: a marching dashed line with RunningAnts, else an etched edge with a
    // focus rectangle inside. Returns the client rectangle.
    QRect DrawSelectionFrame(QPainter& painter);
    // The selection's corners scaled to the zoom and moved by the origin.
    QRect SelectionClientRect() const;

    // State the modes and the frame read and write.
    unsigned Zoom() const { return m_zoom; }
    int ZoomIndex() const { return m_zoomIndex; }
    int OriginX() const { return m_originX; }
    int OriginY() const { return m_originY; }
    int CenterX() const { return m_centerX; }
    int CenterY() const { return m_centerY; }
    int McuWidth() const { return m_mcuWidth; }
    int McuHeight() const { return m_mcuHeight; }
    bool IsSelectionShown() const { return m_selectionShown; }
    void SetSelectionShown(bool shown) { m_selectionShown = shown; }
    bool IsRedEyeMarked() const { return m_redEyeMarked; }
    void SetRedEyeMarked(bool marked) { m_redEyeMarked = marked; }
    bool IsBlinkOn() const { return m_blinkOn; }
    bool IsDragging() const { return m_dragging; }
    int GetHandle() const { return m_handle; }
    int LastX() const { return m_lastX; }
    int LastY() const { return m_lastY; }
    int CursorId() const { return m_cursorId; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // What one scroll bar was last told, in the bar's own terms.
    struct ScrollInfo {
        bool visible = false;
        int maximum = 0; // zoomed extent - 1
        int page = 0;    // client extent
        int pos = 0;     // centre - client / 2
    };

    void UpdateScrollBars();
    void OnScrollAction(Qt::Orientation orientation, int action);
    void UpdateOrigin();
    // Where the preview goes; empty when it has no place.
    QRect PreviewRect() const;
    QPoint ImagePoint(int x, int y) const;
    int FindHandle(QPoint p) const;
    void LeftButtonDown(int x, int y);
    void MouseMoveTo(int x, int y);
    void LeftButtonUp();
    void RightButtonDown(QPoint globalPos);
    bool ArrowKey(int key);
    void UpdateCursor(int x, int y);
    void ApplyCursor();
    void OnTimer(int id);
    void PaintImage(QPainter& painter, const QImage& bitmap);
    void InvalidateSelectionOutline();

    CViewHost* m_host;
    std::unique_ptr<CViewHost> m_ownHost;

    CKsImage* m_image = nullptr;
    bool m_dragging = false;
    bool m_selectionShown = false;
    bool m_redEyeMarked = false;
    int m_zoomIndex;
    unsigned m_zoom = 256;
    int m_handle = 0;
    int m_previousModeId = -1;
    int m_originX = 0;
    int m_originY = 0;
    int m_zoomedWidth = 0;
    int m_zoomedHeight = 0;
    bool m_blinkOn = false;
    int m_lastX = 0;
    int m_lastY = 0;
    int m_centerX = 0;
    int m_centerY = 0;
    bool m_menuOpen = false;
    int m_cursorId = -1;
    int m_mcuHeight = 0;
    int m_mcuWidth = 0;
    unsigned m_imageChanges = 0;
    int m_pressX = 0;
    int m_pressY = 0;
    bool m_movingSelection = false;
    int m_actualSizeIndex;
    unsigned m_previousZoom = 256;
    ScrollInfo m_horizontalInfo;
    ScrollInfo m_verticalInfo;

    // A drag that pans (space bar, or a click no mode used) never edits the
    // selection, wherever the pointer goes.
    bool m_panning = false;
    // Keys held, as the key events report them.
    bool m_spaceHeld = false;
    bool m_zHeld = false;
    bool m_inScrollUpdate = false;
    // Phase of the marching outline, 6 down to -1; it steps once per timer-1 tick.
    int m_antsPhase = 6;
    std::array<QTimer, 3> m_timers;
    QImage m_preview;
    QSize m_previewImageSize;
};
