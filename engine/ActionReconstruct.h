// CActionReconstruct: the library's reconstruct passes over the whole image
// under a progress window that shows each pass and can cancel; and
// CImageRefresher, which shows the picture after each pass.
#pragma once

#include "Action.h"
#include "ReconstructProgress.h"

class CImageRefresher : public CReconstructProgress::IProgressListener {
public:
    explicit CImageRefresher(CKsImage* image) : m_image(image) {}
    // Renders the coefficients as they are now and repaints the view.
    void OnNextPass() override;

private:
    CKsImage* m_image;
};

class CActionReconstruct : public CAction {
public:
    explicit CActionReconstruct(int passes) : m_passes(passes) {}

    IAction* Clone() const override { return new CActionReconstruct(m_passes); }
    QString GetName() const override { return QStringLiteral("Reconstruct"); }
    int IsBitmapEdit() const override { return 0; }

    int GetPasses() const { return m_passes; }

protected:
    // `arg`: a const QRect* in screen coordinates that the progress window
    // must not cover, or null. Fewer than one pass does nothing.
    void Apply(const void* arg) override;
    void Revert() override;

private:
    int m_passes;
};
