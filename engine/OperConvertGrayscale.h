// COperConvertGrayscale: drops the chroma of a YCbCr image with
// CActionConvertGrayscale. No parameters of its own; its page is empty.
#pragma once

#include "Operation.h"

class COperConvertGrayscale : public COperation {
public:
    COperConvertGrayscale();

    COperation* CreateNew() const override { return new COperConvertGrayscale; }
    void UpdatePage() override {}
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;
    int IsDefaultOperation() const override { return 0; }
};
