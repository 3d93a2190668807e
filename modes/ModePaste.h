// The paste mode: shows the picture taken from the clipboard over the image
// at SelectionRect's top-left corner; a click places it, "Paste now" pastes
// it through an undoable edit, Cancel returns to the drag mode.
//
// The preview is one copy of the image's display bitmap per paste: a move
// puts back only the old block's pixels from the image's bitmap and draws the
// block at its new place. The copy is rebuilt when the image's bitmap was
// replaced or changed size.
#pragma once

#include "Mode.h"
#include "PanelCopyPaste.h"

#include <QRect>

#include <cstdint>

class CModePaste : public CMode {
public:
    CModePaste();

    void Activate() override;
    void Deactivate() override;
    void Apply() override;
    void Cancel(bool lastOnly) override;
    int GetContextMenuIndex() const override { return 4; }
    QImage SelectDisplayBitmap(CChildView* view) override;
    void DrawOverlay(QPainter& painter, CChildView* view) override;
    int OnClick(CChildView* view, int x, int y) override;
    bool UsesSelectionRect() const override { return false; }

    // Keeps the block's size; a block wider (taller) than the image is
    // centred at a negative Left (Top), any other is pushed inside.
    void CenterSelection(CChildView* view);

    // The picture to paste (the application's, not owned; it must outlive
    // the mode's use of it). Drops the preview.
    void SetSource(const CDib24* source);
    const CDib24* GetSource() const { return m_source; }
    // The mode's half of the paste command: the paste mode becomes current
    // with the selection timer running, the selection takes the picture's
    // size at its stored Left and Top and is centred.
    void StartPaste(const CDib24* source);

    // One axis of CenterSelection on 64-bit edges: [lo, lo + length) placed
    // for an image extent `size`; the result always fits in an int.
    static void CenterAxis(int64_t lo, int64_t length, int size, int& outLo, int& outHi);

    CPanelPaste& GetPanel() { return m_panel; }

private:
    void RestoreBlock(const CDib24& image);

    const CDib24* m_source = nullptr;
    // What the preview holds: the image bitmap it copied, and the part of
    // the preview the block covers with the block's own top-left corner.
    const BYTE* m_copiedBits = nullptr;
    QRect m_drawnClip;
    int64_t m_drawnX = 0;
    int64_t m_drawnY = 0;
    CPanelPaste m_panel{this};
};
