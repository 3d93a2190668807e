// COperRedEye: red-eye removal at the points the red-eye mode collected,
// made by CActionRedEye (which holds the values to the editors' ranges).
// The points are not registered; CreateNew copies them, so clones keep them.
#pragma once

#include "Operation.h"
#include "RedEyeParams.h"

class COperRedEye : public COperation {
public:
    COperRedEye();

    COperation* CreateNew() const override;
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;
    int IsBatchOperation() const override { return 0; }

    RedEyeParams& Params() { return m_params; }
    const RedEyeParams& Params() const { return m_params; }

private:
    RedEyeParams m_params;
};
