#include "OperConvertGrayscale.h"

#include "ActionConvertGrayscale.h"

COperConvertGrayscale::COperConvertGrayscale()
    : COperation("Grayscale", "Grayscale")
{
}

IAction* COperConvertGrayscale::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    return new CActionConvertGrayscale();
}
