// CExif: the EXIF record of an image object. It reads the saved markers after
// every load, answers the values the placeholders and the interface need, and
// writes the saved markers into every save. Positions inside the saved EXIF
// block are kept as (marker index, byte offset) into the image object's own
// marker copies, never as raw pointers, and are checked before every use.
#pragma once

#include "platform/Com.h"
#include "platform/FileTime.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <cstdio>
extern "C" {
#include <jpeglib.h>
}

struct CSavedMarker;

class CExif {
public:
    // Resets every field except the paths and the file date, then reads the
    // saved markers of a load.
    void Parse(const std::vector<CSavedMarker>& markers);
    // Writes the saved markers into a compressor between jpeg_start_compress
    // and the image data. thumbMode: 0 drop, 1 keep, 2 replace with `thumb`.
    // The pixel dimensions written are the compressor's image size. A
    // multi-picture index (APP2 "MPF") is never written: the pictures it
    // names are not.
    void WriteMarkers(std::vector<CSavedMarker>& markers, j_compress_ptr cinfo, int saveComments, int saveExif,
                      int thumbMode, const uint8_t* thumb, int thumbLength);
    // Stores a new orientation in the saved EXIF block when it has an
    // orientation entry; returns false (and changes nothing) otherwise.
    bool SetOrientationValue(std::vector<CSavedMarker>& markers, int value);
    bool HasOrientationEntry() const { return m_orientationPos != 0; }

    // Source and current file (full paths; empty after a memory load).
    void SetPaths(const std::u16string& sourcePath, const std::u16string& currentPath);
    void SetCurrentPath(const std::u16string& currentPath);
    void SetFileDate(const SYSTEMTIME& date) { m_fileDate = date; }

    // Expands the placeholder codes of `textTemplate` into m_lastText and
    // returns it (ExifText.cpp).
    const std::u16string& FormatText(std::u16string_view textTemplate, int useFileTime, LCID locale,
                                     std::u16string_view dateFormat, std::u16string_view timeFormat,
                                     int fractionsOfSeconds);

    int Orientation() const { return m_orientation; }

    // ---- Fields (see the parser for how each is read) ----
    bool m_littleEndian = false;
    std::u16string m_sourcePath;
    std::u16string m_currentPath;
    SYSTEMTIME m_fileDate{};
    bool m_hasJfif = false;
    bool m_hasExif = false;
    uint32_t m_tiffLength = 0;
    int m_exifMarkerIndex = -1; // which saved marker is the parsed EXIF block
    size_t m_ifd0LinkPos = 0;   // from the start of the marker data; 0 = none
    uint32_t m_cutOffset = 0;   // from the TIFF header; 0 = none

    std::string m_imageDescription;
    std::string m_comment; // bytes of the last COM marker
    std::string m_make;
    std::string m_model;
    std::string m_copyright;
    std::string m_subSecTime;
    std::string m_exposureTime;
    std::string m_fNumber;
    std::string m_iso;
    std::string m_shutterSpeed;
    std::string m_aperture;
    std::string m_focalLength;
    std::string m_focalLength35;
    std::u16string m_userComment;
    SYSTEMTIME m_exifDate{}; // wYear 0 when absent

    std::string m_gpsLatitudeRef;
    double m_gpsLatitude = 0;
    std::string m_gpsLongitudeRef;
    double m_gpsLongitude = 0;
    uint8_t m_gpsAltitudeRef = 0;
    double m_gpsAltitude = 0;

    uint16_t m_thumbWidth = 0;
    uint16_t m_thumbHeight = 0;

    uint16_t m_orientation = 1;
    size_t m_orientationPos = 0; // offset of the value's two bytes in the EXIF marker data; 0 = none
    size_t m_pixelXPos = 0;      // offset of the PixelXDimension entry; 0 = none
    size_t m_pixelYPos = 0;

    std::u16string m_lastText; // result of the last placeholder expansion

private:
    void Reset();
    // Writes the parsed EXIF block cut at the cut offset, with a new IFD1 for
    // `thumb` when given. False (nothing written) when the block's positions
    // do not allow a safe cut; the caller then writes it unchanged.
    bool WriteExifWithoutThumbnail(const CSavedMarker& marker, j_compress_ptr cinfo, const uint8_t* thumb,
                                   int thumbLength);
};
