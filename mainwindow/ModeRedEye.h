// The red-eye mode: its table values and bare panel. Its marks, preview
// and edit come later.
#pragma once

#include "Mode.h"

struct RedEyeParams;

class CModeRedEye : public CMode {
public:
    CModeRedEye();
    void Activate() override;
    void Deactivate() override;
    // 3 while eyes are marked, else 1.
    int GetContextMenuIndex() const override;
    bool UsesSelectionRect() const override { return false; }

    // The application's red-eye operation's parameter block (not owned).
    void SetParams(RedEyeParams* params) { m_pParams = params; }

private:
    RedEyeParams* m_pParams = nullptr;
};
