#include "OperResize.h"

#include "ActionResize.h"
#include "OperationPage.h"

COperResize::COperResize()
    : COperation("Resize/Resample", "Resize")
{
    AddIntParam(QStringLiteral("Units"), &m_params.Units);
    AddIntParam(QStringLiteral("PixelsWidth"), &m_params.PixelsWidth);
    AddIntParam(QStringLiteral("PixelsHeight"), &m_params.PixelsHeight);
    AddIntParam(QStringLiteral("Percent"), &m_params.Percent);
    AddIntParam(QStringLiteral("LockAspect"), &m_params.LockAspect);
    AddIntParam(QStringLiteral("AutoSwap"), &m_params.AutoSwap);
    AddIntParam(QStringLiteral("DontEnlarge"), &m_params.DontEnlarge);
    AddIntParam(QStringLiteral("KeepProportions"), &m_params.KeepProportions);
}

void COperResize::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperResize::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    return new CActionResize(m_params);
}
