// Reconstruct: one library edit running all passes. A cancel in the
// progress window ends the passes early; the edit still holds and undoes as
// a whole. Fewer than one pass, or a reconstruct already running (the
// progress window's nested event loop could start one), does nothing: the
// library would still copy the whole image into the undo file.
#include "ActionReconstruct.h"

#include "KsImage.h"

void CImageRefresher::OnNextPass()
{
    if (!m_image)
        return;
    m_image->CreateDib();
    m_image->RefreshView();
}

void CActionReconstruct::Apply(const void* arg)
{
    IKestrel* lib = Library();
    if (!lib || m_passes < 1 || CReconstructProgress::IsRunning())
        return;
    {
        CImageRefresher refresher(m_image);
        CReconstructProgress progress(&refresher, m_passes, static_cast<const QRect*>(arg));
        LibraryEdit([&] { return lib->Reconstruct(m_passes, &CReconstructProgress::OnLibraryProgress); });
    }
    m_image->DeleteDib();
}

void CActionReconstruct::Revert()
{
    if (GetLibraryEditCount() == 0)
        return;
    RevertLibraryEdits();
    m_image->DeleteDib();
}
