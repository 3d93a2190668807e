// The crop mode: its table values, its bare panel and the selection's
// overlay. Its panel and edits come later.
#pragma once

#include "Mode.h"

struct CropParams;

class CModeCrop : public CMode {
public:
    CModeCrop();
    void Activate() override;
    void Deactivate() override;
    // Hides the selection.
    void Cancel(bool lastOnly) override;
    // 2 while the view shows a selection, else 1.
    int GetContextMenuIndex() const override;
    // The selection outline, with the canvas colour where the selection
    // reaches past the image.
    void DrawOverlay(QPainter& painter, CChildView* view) override;
    bool UsesSelectionRect() const override { return true; }

    // The application's crop operation's parameter block (not owned).
    void SetParams(CropParams* params) { m_pParams = params; }

private:
    CropParams* m_pParams = nullptr;
};
