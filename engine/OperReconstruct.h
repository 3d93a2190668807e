// COperReconstruct: the reconstruct passes, made by CActionReconstruct.
#pragma once

#include "Operation.h"

// The reconstruct operation's block, edited in place by its page.
struct ReconstructParams {
    int NumOfPasses = 1;
};

class COperReconstruct : public COperation {
public:
    // The editor's range; a profile or macro may hold anything, and each
    // pass runs over the whole image.
    static constexpr int kMinPasses = 1, kMaxPasses = 100;

    COperReconstruct();

    COperation* CreateNew() const override { return new COperReconstruct; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    // The passes brought into the editor's range; the stored value stays.
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    ReconstructParams& Params() { return m_params; }
    const ReconstructParams& Params() const { return m_params; }

private:
    ReconstructParams m_params;
};
