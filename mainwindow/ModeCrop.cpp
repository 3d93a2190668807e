#include "ModeCrop.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "ViewCursors.h"

CModeCrop::CModeCrop() : CMode(ID_EDIT_CROP, 2, -4) {}

void CModeCrop::Activate()
{
    ShowBarePanel("PanelCrop", QStringLiteral("Crop"));
}

void CModeCrop::Deactivate()
{
    HidePanel();
}

void CModeCrop::Cancel(bool /*lastOnly*/)
{
    HideSelection();
}

int CModeCrop::GetContextMenuIndex() const
{
    const CChildView* view = View();
    return view && view->IsSelectionShown() ? 2 : 1;
}

void CModeCrop::DrawOverlay(QPainter& painter, CChildView* view)
{
    if (view && view->IsSelectionShown())
        CViewHost::DrawCropOverlay(painter, *view);
}
