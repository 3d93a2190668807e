#include "OperColor.h"

#include "ActionColor.h"
#include "OperationPage.h"

COperColor::COperColor()
    : COperation("Brightness/Color", "Color")
{
}

COperColor::~COperColor()
{
    if (m_pPage)
        m_pPage->ReleaseParams();
}

void COperColor::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperColor::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    return new CActionColor(m_params.Brightness, m_params.BlueYellow, m_params.RedCyan);
}

void COperColor::ResetValues()
{
    m_params = ColorParams();
    RefreshPage();
}

void COperColor::CopyValues(const COperColor& other)
{
    m_params = other.m_params;
    RefreshPage();
}

void COperColor::RefreshPage()
{
    if (m_pPage)
        m_pPage->Refill();
}
