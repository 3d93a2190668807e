#include "OperationPages.h"

#include "DlgOperGrayscale.h"
#include "OperationPage.h"

void RegisterOperationPages()
{
    RegisterOperationPageFactory(QStringLiteral("Grayscale"), [](COperation&) -> IOperationPage* {
        return new CDlgOperGrayscale;
    });
}
