#include "ModeRedEye.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "ViewCursors.h"

CModeRedEye::CModeRedEye() : CMode(ID_EDIT_RED_EYE, 3, kCursorRedEye) {}

void CModeRedEye::Activate()
{
    ShowBarePanel("PanelRedEye", QStringLiteral("Remove Red Eye"));
}

void CModeRedEye::Deactivate()
{
    HidePanel();
}

int CModeRedEye::GetContextMenuIndex() const
{
    const CChildView* view = View();
    return view && view->IsRedEyeMarked() ? 3 : 1;
}
