// COperRotate: quarter turns, half turns and mirrors, or a turn to the EXIF
// orientation, made by CActionRotateFlip.
//
// The block is the action's RotateParams, except that PaddingColor holds a
// COLORREF (0x00BBGGRR) as the profile, the operation text and the page keep
// it; CreateAction hands the action a copy with the colour as a QRgb.
#pragma once

#include "ActionRotateFlip.h"
#include "Operation.h"

class COperRotate : public COperation {
public:
    COperRotate();

    COperation* CreateNew() const override { return new COperRotate; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    // Sets Rotate, Flip and Automatic; any of them non-zero renames the
    // operation after what it does ("Rotate to Flag", "Flip", "Rotate").
    void SetTransform(int rotate, int flip, int automatic);

    RotateParams& Params() { return m_params; }
    const RotateParams& Params() const { return m_params; }

private:
    RotateParams m_params;
};
