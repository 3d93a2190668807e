#include "OperationPages.h"

#include "CustCropPresetsDlg.h"
#include "DlgOperColor.h"
#include "DlgOperCrop.h"
#include "DlgOperEmail.h"
#include "DlgOperGrayscale.h"
#include "DlgOperReconstruct.h"
#include "DlgOperRedEye.h"
#include "DlgOperResize.h"
#include "DlgOperRotate.h"
#include "DlgOperText.h"
#include "DlgOperSave.h"
#include "OperationPage.h"

namespace {

template <class Page>
void RegisterPage(const char* section)
{
    RegisterOperationPageFactory(QString::fromUtf8(section), [](COperation&) -> IOperationPage* { return new Page; });
}

} // namespace

void RegisterOperationPages()
{
    RegisterPage<CDlgOperRotate>("Rotate_Flip");
    RegisterPage<CDlgOperCrop>("Crop");
    RegisterPage<CDlgOperResize>("Resize");
    RegisterPage<CDlgOperColor>("Color");
    RegisterPage<CDlgOperGrayscale>("Grayscale");
    RegisterPage<CDlgOperRedEye>("RedEye");
    RegisterPage<CDlgOperReconstruct>("Reconstruct");
    RegisterPage<CDlgOperSave>("Saving");
    RegisterPage<CDlgOperEmail>("Email");
    RegisterPage<CDlgOperText>("Text");
    // The engine's "Edit..." of the crop presets reaches the preset editor here.
    CCustCropPresetsDlg::InstallAsPresetsEditor();
}
