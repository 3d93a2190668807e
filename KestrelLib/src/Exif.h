// CExif: the EXIF record of an image object.
#pragma once

#include "platform/FileTime.h"

#include <cstdint>
#include <string>
#include <vector>

struct CSavedMarker;

class CExif {
public:
    // Resets every field, then reads the saved markers of a load.
    void Parse(const std::vector<CSavedMarker>& markers);
    // Source and current file names (full paths; empty after a memory load).
    void SetPaths(const std::u16string& sourcePath, const std::u16string& currentPath);
    void SetFileDate(const SYSTEMTIME& date) { m_fileDate = date; }

    int Orientation() const { return m_orientation; }

    std::u16string m_sourcePath;
    std::u16string m_currentPath;
    SYSTEMTIME m_fileDate{};
    uint16_t m_orientation = 1;
};
