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

// Raises a codec error on a compressor: long-jumps to the context armed for
// its error manager.
[[noreturn]] inline void RaiseCompressError(j_compress_ptr cinfo, int code)
{
    cinfo->err->msg_code = code;
    cinfo->err->error_exit(reinterpret_cast<j_common_ptr>(cinfo));
    __builtin_unreachable();
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
