// EXIF reading and marker writing. (Parsing comes with the EXIF work.)
#include "Exif.h"

#include "DllImage.h"

void CExif::Parse(const std::vector<CSavedMarker>&)
{
    m_orientation = 1;
}

void CExif::SetPaths(const std::u16string& sourcePath, const std::u16string& currentPath)
{
    m_sourcePath = sourcePath;
    m_currentPath = currentPath;
}

int CDllImage::GetOrientation() { return m_exif.Orientation(); }
void CDllImage::SetOrientation(int) {}
void CDllImage::GetExifThumbnailSize(int* size)
{
    if (size)
        *size = 0;
}
