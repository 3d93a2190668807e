// The select mode ("Select"): the user draws a selection in the view and
// "Copy now" puts its pixels on the clipboard.
#pragma once

#include "Mode.h"
#include "PanelCopyPaste.h"


class CModeCopy : public CMode {
public:
    CModeCopy();

    void Activate() override;
    void Deactivate() override;
    void RefreshPanel() override;
    // Copies the selected pixels of the display bitmap to the clipboard,
    // then returns to the drag mode. A selection that misses the image
    // copies and switches nothing.
    void Apply() override;
    void Cancel(bool lastOnly) override;
    int GetContextMenuIndex() const override;
    void DrawOverlay(QPainter& painter, CChildView* view) override;
    bool UsesSelectionRect() const override { return true; }

    // The pixels of image rectangle (left, top)-(right, bottom) cut to the
    // image, as a w x h picture; null when nothing of it lies inside.
    static QImage CopyRect(CKsImage& image, int left, int top, int right, int bottom);

    CPanelCopy& GetPanel() { return m_panel; }

private:
    CPanelCopy m_panel{this};
};
