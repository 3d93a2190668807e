// EXIF reading and marker writing. (Parsing and writing come with the EXIF work.)
#include "Exif.h"

#include "DllImage.h"

void CExif::Parse(const std::vector<CSavedMarker>&)
{
    m_orientation = 1;
}

void CExif::WriteMarkers(std::vector<CSavedMarker>&, j_compress_ptr, int, int, int, const uint8_t*, int) {}

bool CExif::SetOrientationValue(std::vector<CSavedMarker>&, int) { return false; }

void CExif::SetPaths(const std::u16string& sourcePath, const std::u16string& currentPath)
{
    m_sourcePath = sourcePath;
    m_currentPath = currentPath;
}

void CExif::SetCurrentPath(const std::u16string& currentPath) { m_currentPath = currentPath; }

int CDllImage::GetOrientation() { return m_exif.Orientation(); }
void CDllImage::SetOrientation(int value) { m_exif.SetOrientationValue(m_markers, value); }
void CDllImage::GetExifThumbnailSize(int* size)
{
    if (size)
        *size = 0;
}
