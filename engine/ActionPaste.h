// CActionPaste: a picture copied into the image at a position, re-encoding
// only the MCUs it changes.
#pragma once

#include "Action.h"
#include "Dib24.h"

#include <QImage>
#include <QRect>

class CActionPaste : public CAction {
public:
    // Copies `source` now (its owner may change it later); it goes to (x, y)
    // in image pixels, at most width x height of it.
    CActionPaste(const QImage& source, int x, int y, int width, int height);

    // The copy copies the pixels again.
    IAction* Clone() const override { return new CActionPaste(*this); }
    QString GetName() const override { return QStringLiteral("Paste"); }
    int IsBitmapEdit() const override { return 1; }

    // The part of the image the last apply covered; empty when none.
    QRect GetClippedRect() const { return m_clipped; }

protected:
    void Apply(const void* arg) override;
    void Revert() override;

private:
    CActionPaste(const CActionPaste& other);

    CDib24 m_source;
    int m_x, m_y, m_width, m_height;
    QRect m_clipped;
};
