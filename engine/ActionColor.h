// CActionColor: brightness and colour balance as shifts of the DC
// coefficients, one per component (brightness, blue-yellow, red-cyan).
#pragma once

#include "Action.h"

#include <cstdint>

class CActionColor : public CAction {
public:
    CActionColor(int shift0, int shift1, int shift2) : m_shift{shift0, shift1, shift2} {}

    // A clone starts afresh: not applied, no undo positions.
    IAction* Clone() const override { return new CActionColor(m_shift[0], m_shift[1], m_shift[2]); }
    QString GetName() const override { return QStringLiteral("Brightness/Color"); }
    int IsBitmapEdit() const override { return 0; }

    int GetShift(int component) const { return m_shift[component]; }
    // The most undo bytes one colour edit of `image` writes: the levels edit
    // keeps one 16-bit DC value per block. -1 without coefficients.
    static int64_t UndoBytesBound(CKsImage* image);

protected:
    // All-zero shifts call nothing and keep the bitmap.
    void Apply(const void* arg) override;
    void Revert() override;

private:
    bool AnyShift() const { return m_shift[0] || m_shift[1] || m_shift[2]; }

    int m_shift[3];
};
