// Internal pieces of saving, shared by Save.cpp (file and memory targets),
// SaveEncode.cpp (transcode and re-encode) and SaveThumb.cpp (the new EXIF
// thumbnail). Nothing here crosses the library boundary.
#pragma once

#include "DllImage.h"

#include <cstdint>
#include <cstdio>
#include <vector>

// A new EXIF thumbnail must fit in this many bytes.
inline constexpr int kExifThumbCapacity = 16384;

// Rounds a stored (dequantised) value to its quantisation step, half away
// from zero, in int arithmetic so that values near the 16-bit limits keep
// their sign.
inline short Requantize(int value, int step)
{
    if (step <= 0)
        return 0;
    const int half = step / 2;
    const int q = value >= 0 ? (value + half) / step : -((-value + half) / step);
    return static_cast<short>(q);
}

// Lossless transcode of the coefficient image with the source's tables and
// sampling. Writes to `dest` when given, else to `file`. Uses the image's own
// error manager; false on any codec error, with the compressor destroyed.
// Optimised Huffman tables come from counts gathered while requantising;
// libjpegStatistics leaves that to libjpeg's slower extra pass instead (the
// output is the same).
bool TranscodeImage(CDllImage& image, const SaveOptions& options, FILE* file, jpeg_destination_mgr* dest,
                    const uint8_t* thumb, int thumbLength, bool libjpegStatistics = false);

// Re-encode of the caller's bitmap (options.Bitmap / BitmapStride, the
// image's width x height) at options.Quality and options.ColorSampling.
bool ReencodeImage(CDllImage& image, const SaveOptions& options, FILE* file, const uint8_t* thumb,
                   int thumbLength);

// True when libjpeg may write its own JFIF header into this save: only for
// grayscale or YCbCr data (an RGB or CMYK file with JFIF is misread), and only
// when the saved markers will carry neither the source's JFIF nor an EXIF block.
bool WantJfifHeader(const CDllImage& image, const SaveOptions& options, J_COLOR_SPACE jpegColorSpace);

// Size of a new EXIF thumbnail for an image of width x height in a box of
// `box` pixels (clamped to 32..256).
void ExifThumbnailSize(int width, int height, int box, int* thumbWidth, int* thumbHeight);

// Makes the new EXIF thumbnail (baseline JPEG, quality 75, no JFIF) from the
// caller's bitmap in `options`, or else by rendering the coefficients. Empty
// and false when it fails or does not fit kExifThumbCapacity bytes.
bool MakeExifThumbnail(CDllImage& image, const SaveOptions& options, std::vector<uint8_t>* out);
