#include "ModeText.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"

COperationMode::COperationMode(int commandId, int contextMenuIndex, int cursorId, const char* panelName,
                               const char* caption)
    : CMode(commandId, contextMenuIndex, cursorId), m_panelName(panelName), m_caption(caption)
{
}

void COperationMode::Activate()
{
    ShowBarePanel(m_panelName, QString::fromUtf8(m_caption));
}

void COperationMode::Deactivate()
{
    HidePanel();
}

CModeText::CModeText() : COperationMode(ID_EDIT_TEXT, 6, -2, "PanelText", "Insert Text") {}

int CModeText::GetContextMenuIndex() const
{
    CChildView* view = View();
    return view && view->Host().TextModeHasText() ? 6 : 1;
}

CModeColor::CModeColor() : COperationMode(ID_EDIT_COLOR, -1, -1, "PanelColor", "Brightness / Color") {}

bool CModeColor::IsAvailable(CKsImage* image) const
{
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    return lib && image->IsLoaded() && lib->CanAdjustLevels();
}

CModeResize::CModeResize() : COperationMode(ID_EDIT_RESIZE, -1, -1, "PanelResize", "Resize / Resample") {}

CModeReconstruct::CModeReconstruct()
    : COperationMode(ID_EDIT_RECONSTRUCT, -1, -1, "PanelReconstruct", "Reconstruct")
{
}
