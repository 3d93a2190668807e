// COperColor: brightness and colour balance, made by CActionColor. The three
// shifts are the operation's own: they are not registered, so neither the
// profile, the operation text nor Clone carries them (the colour mode hands
// them on with CopyValues).
#pragma once

#include "Operation.h"

// The colour operation's block, edited in place by its page.
struct ColorParams {
    int Brightness = 0; // Brighter/Darker
    int BlueYellow = 0;
    int RedCyan = 0;
};

class COperColor : public COperation {
public:
    COperColor();
    // Lets the page go of the block before the block goes.
    ~COperColor() override;

    COperation* CreateNew() const override { return new COperColor; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;
    int IsDefaultOperation() const override { return 0; }

    // Shifts to 0, then RefreshPage.
    void ResetValues();
    // Takes the other operation's shifts, then RefreshPage.
    void CopyValues(const COperColor& other);
    // Tells an existing page to reload its controls.
    void RefreshPage();

    ColorParams& Params() { return m_params; }
    const ColorParams& Params() const { return m_params; }

private:
    ColorParams m_params;
};
