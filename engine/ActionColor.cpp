// Brightness and colour: one library levels edit. A refused edit (a colour
// space without levels) changes nothing, keeps the bitmap and leaves no
// undo position, so undoing the step takes nothing back.
#include "ActionColor.h"

#include "KsImage.h"

void CActionColor::Apply(const void* /*arg*/)
{
    IKestrel* lib = Library();
    if (!lib || !AnyShift())
        return;
    if (LibraryEdit([&] { return lib->AdjustLevels(m_shift[0], m_shift[1], m_shift[2]); }))
        m_image->DeleteDib();
}

void CActionColor::Revert()
{
    if (GetLibraryEditCount() == 0)
        return;
    RevertLibraryEdits();
    m_image->DeleteDib();
}
