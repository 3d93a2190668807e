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

int64_t CActionColor::UndoBytesBound(CKsImage* image)
{
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    short* data = nullptr;
    int count = 0;
    if (lib)
        lib->GetCoefficients(&data, &count);
    if (!data || count <= 0)
        return -1;
    return static_cast<int64_t>(count / 64) * static_cast<int64_t>(sizeof(short));
}
