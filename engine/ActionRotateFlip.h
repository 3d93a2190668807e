// CActionRotateFlip: quarter turns, half turns and mirrors, done on the
// coefficients by the library wherever it can, or following the EXIF
// orientation.
#pragma once

#include "Action.h"
#include "Dib24.h"


struct RotateParams {
    int Automatic = 0;       // follow the EXIF orientation
    int Rotate = 0;          // 0 none, 1 clockwise, 2 half turn, 3 counter-clockwise
    int Flip = 0;            // 0 none, 1 horizontal mirror, 2 vertical mirror
    int Lossless = 1;
    int PartialMode = 0;     // 0 cut partial edge MCUs, 1 keep them, 2 keep and paint the padding
    QRgb PaddingColor = 0xFFFFFFFFu;
};

class CActionRotateFlip : public CAction {
public:
    explicit CActionRotateFlip(const RotateParams& params) : m_params(params) {}

    IAction* Clone() const override { return new CActionRotateFlip(m_params); }
    QString GetName() const override { return QStringLiteral("Rotate/Flip"); }
    int IsBitmapEdit() const override { return 0; }

    const RotateParams& GetParams() const { return m_params; }

    // (rotate, flip) for an EXIF orientation; false for 1 and unknown values.
    static bool OrientationToTransform(int orientation, int* rotate, int* flip);

protected:
    void Apply(const void* arg) override;
    void Revert() override;

private:
    int IncludePartial() const { return !m_params.Lossless || m_params.PartialMode != 0; }
    bool FillPadding() const { return m_params.Lossless && m_params.PartialMode == 2; }

    void RotateStep(int rotate);
    void FlipStep(int flip);
    // Paints the rectangles with the padding colour and re-encodes them.
    void PaintPadding(int l1, int t1, int r1, int b1, int l2 = 0, int t2 = 0, int r2 = 0, int b2 = 0);
    // Turns the display bitmap by a quarter turn into `turned`.
    bool TurnDib(bool clockwise, int width, int height, CDib24* turned);
    // Re-encodes the display bitmap; on refusal abandons the action.
    bool Reencode(int all);
    // Takes back every edit of this apply at once.
    void Abandon();
    // A turn or flip on pixels leaves the picture upright: orientation 1.
    void ResetOrientation();
    // The orientation from before the apply, when it was reset.
    void RestoreOrientation();
    void MirrorDibRows(int width);
    void SwapDibRows(int height);

    RotateParams m_params;
    int m_width = 0;
    int m_height = 0;
    bool m_abandoned = false;
    int m_viewSwaps = 0;
    int m_oldOrientation = 0;
    bool m_orientationReset = false;
};
