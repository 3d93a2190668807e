#include "OperRotate.h"

#include "ColorRef.h"
#include "OperationPage.h"

COperRotate::COperRotate()
    : COperation("Rotate/Flip", "Rotate_Flip")
{
    m_params.PaddingColor = 0xFFFFFF; // COLORREF white
    // QRgb is an unsigned int: the int view of it is the same object.
    AddIntParam(QStringLiteral("Rotate"), &m_params.Rotate);
    AddIntParam(QStringLiteral("Flip"), &m_params.Flip);
    AddIntParam(QStringLiteral("Automatic"), &m_params.Automatic);
    AddIntParam(QStringLiteral("Lossless"), &m_params.Lossless);
    AddIntParam(QStringLiteral("PartialMode"), &m_params.PartialMode);
    AddIntParam(QStringLiteral("PaddingColor"), reinterpret_cast<int*>(&m_params.PaddingColor));
}

void COperRotate::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_params);
}

IAction* COperRotate::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    RotateParams params = m_params;
    params.PaddingColor = QRgbFromColorRef(m_params.PaddingColor);
    return new CActionRotateFlip(params);
}

void COperRotate::SetTransform(int rotate, int flip, int automatic)
{
    m_params.Rotate = rotate;
    m_params.Flip = flip;
    m_params.Automatic = automatic;
    if (automatic)
        SetName(QStringLiteral("Rotate to Flag"));
    else if (flip)
        SetName(QStringLiteral("Flip"));
    else if (rotate)
        SetName(QStringLiteral("Rotate"));
}
