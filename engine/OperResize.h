// COperResize: resampling to a new size, made by CActionResize from the
// ResizeParams block (which refuses sizes the library cannot take).
#pragma once

#include "Operation.h"
#include "ResizeParams.h"

class COperResize : public COperation {
public:
    COperResize();

    COperation* CreateNew() const override { return new COperResize; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    ResizeParams& Params() { return m_params; }
    const ResizeParams& Params() const { return m_params; }

private:
    ResizeParams m_params;
};
