// The red-eye mode: clicks mark eyes, the correction is previewed live
// around each of them, a circle blinks around every eye, and "Apply" runs a
// clone of the application's red-eye operation on the marked points.
//
// The preview never stays in the open image's own display bitmap: it is
// performed there, the squares it changed are copied into the mode's display
// copy, and it is undone at once. A save, a new EXIF thumbnail, an e-mail or
// another bitmap edit reading the image's bitmap so never meets an edit that
// is in no history; only the view shows the copy.
#pragma once

#include "Mode.h"
#include "PanelRedEye.h"

#include <QPoint>
#include <QRect>

#include <memory>
#include <vector>

class CActionRedEye;
class COperRedEye;
struct RedEyeParams;

class CModeRedEye : public CMode {
public:
    CModeRedEye();
    ~CModeRedEye() override;

    // Shows the panel (and refreshes it); a marked eye list gets its preview back.
    void Activate() override;
    // Hides the panel and drops the preview copy; the eyes stay marked.
    void Deactivate() override;
    void RefreshPanel() override;
    // "Apply", Enter, the panel's OK: only while eyes are marked, runs a
    // clone of the red-eye operation, which carries the eye list.
    void Apply() override;
    // Esc drops every eye; lastOnly (Shift+Esc, "Cancel Last Selection")
    // drops the last one. The preview follows.
    void Cancel(bool lastOnly) override;
    // 3 while eyes are marked, else 1.
    int GetContextMenuIndex() const override;
    bool UsesSelectionRect() const override { return false; }
    // The preview copy while it matches the image's bitmap, else the image's own.
    QImage SelectDisplayBitmap(CChildView* view) override;
    // A one-pixel circle of the radius around every eye while the blink is on.
    void DrawOverlay(QPainter& painter, CChildView* view) override;
    // A click inside the image marks an eye there: Shift adds one, a plain
    // click replaces them. Always used (never pans).
    int OnClick(CChildView* view, int x, int y) override;

    // Re-runs the preview with the current values and eyes, and repaints the
    // area around the old and new eyes. The view calls it on every blink and
    // after an arrow key moved the last eye.
    void RefreshPreview(CChildView* view);

    // The application's red-eye operation (not owned): its parameters are
    // the ones edited here, and Apply runs a clone of it.
    void SetOperation(COperRedEye* operation);
    COperRedEye* GetOperation() const { return m_pOperation; }
    // Its parameter block, null without an operation.
    RedEyeParams* GetParams() const { return m_pParams; }

    // What the panel and the view read and set. Eyes are "marked" when the
    // view's flag is set and the list is not empty.
    bool HasMarkedEyes() const;
    int GetEyeCount() const;
    // Moves the last eye by (dx, dy) image pixels.
    void MoveLastEye(int dx, int dy);
    // The values are kept to the panel's ranges (radius 1..50, sensitivity
    // 1..100, darkening 0..20); each setter re-runs the preview.
    int GetRadius() const;
    void SetRadius(int radius);
    void SetSensitivity(int sensitivity);
    void SetDarkening(int darkening);

private:
    // Keeps the parameter block to the ranges the edit accepts (a hand-edited
    // profile may hold anything).
    void ClampParams();
    // Drops the preview copy and repaints where it showed.
    void DropPreview(CChildView* view);
    // Repaints the client area around each eye (the largest radius's square).
    static void InvalidateEyes(CChildView* view, const std::vector<QPoint>& eyes);

    COperRedEye* m_pOperation = nullptr;
    RedEyeParams* m_pParams = nullptr;
    // The preview action, reused for every preview.
    std::unique_ptr<CActionRedEye> m_preview;
    // The eyes whose squares the display copy holds corrected, the squares
    // (bitmap pixels) and the image bitmap the copy was taken from.
    std::vector<QPoint> m_previewEyes;
    std::vector<QRect> m_previewSquares;
    const void* m_copiedFrom = nullptr;
    CPanelRedEye m_panel{this};
};
