#include "OperRedEye.h"

#include "ActionRedEye.h"
#include "OperationPage.h"

COperRedEye::COperRedEye()
    : COperation("Red Eye", "RedEye")
{
    AddIntParam(QStringLiteral("RedEyeDarkening"), &m_params.RedEyeDarkening);
    AddIntParam(QStringLiteral("RedEyeRadius"), &m_params.RedEyeRadius);
    AddIntParam(QStringLiteral("RedEyeSensitivity"), &m_params.RedEyeSensitivity);
}

COperation* COperRedEye::CreateNew() const
{
    auto* op = new COperRedEye;
    op->m_params.Points = m_params.Points;
    return op;
}

void COperRedEye::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperRedEye::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    return new CActionRedEye(m_params);
}
