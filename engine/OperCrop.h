// COperCrop: cropping, made by CActionCrop from the CropParams block, or no
// edit when there is nothing sensible to crop.
//
// The application's crop operation also holds the interactive selection
// (SelectionRect) in the block's Left, Top, Right and Bottom: the view and
// the modes write it there and the profile keeps it with the other keys.
//
// CreateAction works out the crop rectangle in 64 bits from the image's
// size, the preset rule and CropReferenceRect (which the crop mode keeps),
// and gives no edit rather than a rectangle that does not fit an int, a
// division by a zero side or a 1-pixel crop from a rule it cannot read.
#pragma once

#include "CropParams.h"
#include "Operation.h"

// A rectangle in image pixels; right and bottom are exclusive.
struct CropRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    // As the platform's IsRectEmpty: no width or no height.
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool operator==(const CropRect&) const = default;
};

// The selection in image pixels as the crop mode last showed it (x and y
// exchanged while FlipAspect is set); unattended crops place or size their
// rectangle from it.
extern CropRect CropReferenceRect;

// The selection is the block's Left/Top/Right/Bottom. It may be reversed
// while a new one is drawn.
void SetSelectionRect(CropParams& params, int left, int top, int right, int bottom);
bool SelectionContains(const CropParams& params, int x, int y);
void NormalizeSelection(CropParams& params);

class COperCrop : public COperation {
public:
    COperCrop();

    COperation* CreateNew() const override { return new COperCrop; }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    // Stores the crop rectangle into the block and returns a crop of it, or
    // null (nothing stored) when the image is not loaded or no rectangle results.
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    // The crop rectangle for an image of width x height with MCUs of
    // mcuWidth x mcuHeight; false when the crop gives no edit.
    static bool ComputeCropRect(const CropParams& params, int automatic, const CropRect& ref, int width, int height,
                                int mcuWidth, int mcuHeight, CropRect* out);

    CropParams& Params() { return m_params; }
    const CropParams& Params() const { return m_params; }

private:
    CropParams m_params;
};
