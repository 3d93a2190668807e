// Grayscale: one library conversion. The converted flag is the conversion's
// own result, so a conversion the library refuses after saying it could do
// it is never undone (that would take back the step before).
#include "ActionConvertGrayscale.h"

#include "KsImage.h"
#include "MessageBoxes.h"

void CActionConvertGrayscale::Apply(const void* /*arg*/)
{
    m_converted = 0;
    IKestrel* lib = Library();
    if (!lib)
        return;
    if (lib->CanConvertToGrayscale())
        m_converted = LibraryEdit([&] { return lib->ConvertToGrayscale(); }) ? 1 : 0;
    if (!m_converted) {
        MessageBoxes().ShowMessage(QStringLiteral("This image - ") + m_image->GetPath()
                                   + QStringLiteral(" - can not be converted to gray scale"));
        return;
    }
    m_image->DeleteDib();
}

void CActionConvertGrayscale::Revert()
{
    if (!m_converted)
        return;
    RevertLibraryEdits();
    m_converted = 0;
    m_image->DeleteDib();
}
