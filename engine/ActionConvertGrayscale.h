// CActionConvertGrayscale: drops the chroma components of a YCbCr image.
#pragma once

#include "Action.h"

class CActionConvertGrayscale : public CAction {
public:
    CActionConvertGrayscale() = default;

    IAction* Clone() const override { return new CActionConvertGrayscale(); }
    QString GetName() const override { return QStringLiteral("Grayscale"); }
    int IsBitmapEdit() const override { return 0; }

    // 1 when the last apply converted the image.
    int IsConverted() const { return m_converted; }

protected:
    // An image that cannot be converted gets a message and stays as it was;
    // the step is still recorded and its undo changes nothing.
    void Apply(const void* arg) override;
    void Revert() override;

private:
    int m_converted = 0;
};
