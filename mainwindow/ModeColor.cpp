#include "ModeColor.h"

#include "CommandIds.h"
#include "KsImage.h"

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
