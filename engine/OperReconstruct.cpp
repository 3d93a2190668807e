#include "OperReconstruct.h"

#include "ActionReconstruct.h"
#include "OperationPage.h"

#include <algorithm>

COperReconstruct::COperReconstruct()
    : COperation("Reconstruct", "Reconstruct")
{
    AddIntParam(QStringLiteral("NumOfPasses"), &m_params.NumOfPasses);
}

void COperReconstruct::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperReconstruct::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    return new CActionReconstruct(std::clamp(m_params.NumOfPasses, kMinPasses, kMaxPasses));
}
