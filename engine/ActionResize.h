// CActionResize: resampling the image to a new size by area averaging.
// Two library edits: a crop that gives the coefficient image the new size,
// then re-encoding every MCU from the resampled bitmap.
#pragma once

#include "Action.h"
#include "ResizeParams.h"

class CDib24;

class CActionResize : public CAction {
public:
    // The library's largest side.
    static constexpr int kMaxSide = 65500;

    explicit CActionResize(const ResizeParams& params) : m_params(params) {}

    IAction* Clone() const override { return new CActionResize(m_params); }
    QString GetName() const override { return QStringLiteral("Resize"); }
    int IsBitmapEdit() const override { return 1; }

    // The size the parameters give an image of width x height; false when
    // a side would pass kMaxSide.
    static bool TargetSize(const ResizeParams& params, int width, int height, int* newWidth, int* newHeight);
    // Area-averages the width x height top-left pixels of `from` into the
    // newWidth x newHeight top-left pixels of `to`.
    static void Resample(const CDib24& from, int width, int height, CDib24& to, int newWidth, int newHeight);

protected:
    void Apply(const void* arg) override;
    void Revert() override;

private:
    ResizeParams m_params;
};
