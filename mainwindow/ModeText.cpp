#include "ModeText.h"

#include "ChildView.h"
#include "CommandIds.h"

CModeText::CModeText() : COperationMode(ID_EDIT_TEXT, 6, -2, "PanelText", "Insert Text") {}

int CModeText::GetContextMenuIndex() const
{
    CChildView* view = View();
    return view && view->Host().TextModeHasText() ? 6 : 1;
}
