// CActionRedEye: red-eye removal in a disc around each point the user
// clicked, drawn on the display bitmap and re-encoded by the library.
//
// Performed with recording on but no undo file it is the red-eye mode's
// preview: the pixels it changes stay in the display bitmap only, and it
// keeps its own copy of them so that undo puts back the exact bytes. Done
// any other way it is a real edit whose changed MCUs are re-encoded.
#pragma once

#include "Action.h"
#include "RedEyeParams.h"

#include <vector>

class CDib24;

class CActionRedEye : public CAction {
public:
    // The editors' ranges; parameters are clamped to them, the sensitivity
    // to kLowestSensitivity..kMaxSensitivity (0 is still a sensitivity).
    static constexpr int kMinRadius = 1, kMaxRadius = 50;
    static constexpr int kMinSensitivity = 1, kMaxSensitivity = 100;
    static constexpr int kLowestSensitivity = 0;
    static constexpr int kMinDarkening = 0, kMaxDarkening = 20;

    explicit CActionRedEye(const RedEyeParams& params);

    // The copy keeps the parameters and points, not the saved pixels.
    IAction* Clone() const override { return new CActionRedEye(m_params); }
    QString GetName() const override { return QStringLiteral("Red Eye"); }
    int IsBitmapEdit() const override { return 1; }

    // Takes the three values and the points (the mode, before each preview).
    void SetParameters(const RedEyeParams& params);
    const RedEyeParams& GetParams() const { return m_params; }

protected:
    void Apply(const void* arg) override;
    void Revert() override;

private:
    // Corrects the disc around `centre`, clipped to width x height.
    void CorrectPoint(CDib24& dib, int width, int height, const QPoint& centre) const;
    // Calls visit(x, y) for the saved square of `centre` inside the clip, in
    // saving order, or in exactly the reverse order.
    template <typename Visit>
    void ForSavedSquare(const QPoint& centre, bool reverse, Visit&& visit) const;

    RedEyeParams m_params;
    bool m_preview = false;
    // The preview's saved pixels (B, G, R per pixel) and the area they were
    // clipped to.
    std::vector<BYTE> m_saved;
    int m_clipWidth = 0, m_clipHeight = 0;
    int m_dibWidth = 0, m_dibHeight = 0;
};
