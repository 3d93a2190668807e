// CActionCrop: crops on the MCU grid in the library; the part of the new
// image outside the chosen bounds (outside the picture, or its partial edge
// MCUs in "round in" mode) is painted with the canvas colour and encoded.
#pragma once

#include "Action.h"
#include "CropParams.h"

#include <QRect>

class CActionCrop : public CAction {
public:
    // Takes the crop rectangle (CropLeft .. CropBottom) from `params` and
    // normalises it: ends in order, and an empty rectangle grows by one
    // pixel to the right and bottom.
    explicit CActionCrop(const CropParams& params);

    IAction* Clone() const override { return new CActionCrop(m_params); }
    QString GetName() const override { return QStringLiteral("Crop"); }
    int IsBitmapEdit() const override { return 1; }

    const CropParams& GetParams() const { return m_params; }
    // The normalised crop rectangle: left, top, right, bottom (exclusive).
    int GetLeft() const { return m_left; }
    int GetTop() const { return m_top; }
    int GetRight() const { return m_right; }
    int GetBottom() const { return m_bottom; }
    // 1 when the last apply also painted an outside area.
    int IsFilled() const { return m_filled; }

protected:
    void Apply(const void* arg) override;
    void Revert() override;

private:
    // The area of the image before the crop that keeps its pixels.
    QRect Bounds(int width, int height, int mcuWidth, int mcuHeight) const;
    // Paints around `inner` (new image coordinates) and encodes the change;
    // false when no bitmap could be made or the library refused the pixels.
    bool PaintOutside(const QRect& inner);

    CropParams m_params;
    int m_left = 0;
    int m_top = 0;
    int m_right = 0;
    int m_bottom = 0;
    int m_filled = 0;
};
