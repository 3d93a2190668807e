// Scaled thumbnail decoding of another file into a caller's box bitmap.
//
// Runs on the browser's worker thread while the UI thread uses the same
// object, so it reads and writes no field of the object: the file, decoder,
// error manager and row buffer are all its own, and the only memory written
// is the caller's box. libjpeg's DCT scaling does most of the shrinking
// (1/2, 1/4 or 1/8), a nearest-neighbour pick fits the rest.
#include "DllImage.h"

#include "platform/FileOps.h"

#include <cstdlib>
#include <cstring>

namespace {

// The caller's box: 24-bit BGR rows from its lowest address; a negative
// stride means bottom-up rows (the top row is the last in memory).
struct Box {
    BYTE* top;
    ptrdiff_t stride;
    int width, height;

    BYTE* Row(int y) const { return top + y * stride; }
    void Put(int x, int y, BYTE b, BYTE g, BYTE r) const
    {
        if (x < 0 || y < 0 || x >= width || y >= height)
            return;
        BYTE* p = Row(y) + 3 * static_cast<ptrdiff_t>(x);
        p[0] = b;
        p[1] = g;
        p[2] = r;
    }
    void Rect(int left, int top_, int right, int bottom, BYTE v) const
    {
        for (int x = left; x <= right; ++x) {
            Put(x, top_, v, v, v);
            Put(x, bottom, v, v, v);
        }
        for (int y = top_; y <= bottom; ++y) {
            Put(left, y, v, v, v);
            Put(right, y, v, v, v);
        }
    }
};

// One output row from one decoded row: column j takes source pixel
// j x decodedWidth / n, converted from the decoder's output colour space.
void DrawRow(BYTE* out, const JSAMPLE* in, J_COLOR_SPACE space, int n, int decodedWidth)
{
    for (int j = 0; j < n; ++j) {
        const int sx = static_cast<int>(static_cast<long long>(j) * decodedWidth / n);
        BYTE* p = out + 3 * j;
        switch (space) {
        case JCS_GRAYSCALE:
            p[0] = p[1] = p[2] = in[sx];
            break;
        case JCS_RGB: {
            const JSAMPLE* s = in + 3 * sx;
            p[0] = s[2];
            p[1] = s[1];
            p[2] = s[0];
            break;
        }
        case JCS_CMYK: {
            const JSAMPLE* s = in + 4 * sx;
            const int k = s[3];
            p[0] = static_cast<BYTE>(s[2] * k / 255);
            p[1] = static_cast<BYTE>(s[1] * k / 255);
            p[2] = static_cast<BYTE>(s[0] * k / 255);
            break;
        }
        default:
            return;
        }
    }
}

} // namespace

int CDllImage::LoadThumbnail(BSTR path, BYTE* bits, int boxWidth, int boxHeight, int rowStride, int red, int green,
                             int blue, int* width, int* height, int decorationFlags)
{
    if (width)
        *width = 0;
    if (height)
        *height = 0;
    const bool white = decorationFlags & 1, grey = decorationFlags & 2, shadow = decorationFlags & 4;
    const int margin = 2 + (white ? 2 : 0) + (grey ? 2 : 0) + (shadow ? 4 : 0);
    const int usableW = boxWidth - margin;
    const int usableH = boxHeight - margin;
    if (usableW < 1 || usableH < 1)
        return 0;
    // A stride shorter than a row would make rows overlap past the box.
    const long long absStride = rowStride < 0 ? -static_cast<long long>(rowStride) : rowStride;
    if (!bits || !path || !*path || absStride < 3ll * boxWidth)
        return 0;

    // The path conversion allocates: no exception may leave the interface.
    FILE* file = nullptr;
    try {
        file = OpenFileW(path, "rb");
    } catch (...) {
        return 0;
    }
    if (!file)
        return 0;

    const Box box{rowStride < 0 ? bits + static_cast<ptrdiff_t>(boxHeight - 1) * absStride : bits, rowStride,
                  boxWidth, boxHeight};
    const BYTE bgB = static_cast<BYTE>(blue), bgG = static_cast<BYTE>(green), bgR = static_cast<BYTE>(red);
    for (int y = 0; y < boxHeight; ++y) {
        BYTE* p = box.Row(y);
        for (int x = 0; x < boxWidth; ++x, p += 3) {
            p[0] = bgB;
            p[1] = bgG;
            p[2] = bgR;
        }
    }

    // Only trivially destructible locals from here: a codec error long-jumps back.
    jpeg_decompress_struct cinfo;
    KsErrorMgr err;
    std::memset(static_cast<void*>(&cinfo), 0, sizeof cinfo);
    cinfo.err = InitErrorMgr(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_decompress(&cinfo);
        std::fclose(file);
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_stdio_src(&cinfo, file);
    jpeg_read_header(&cinfo, TRUE);
    if (width)
        *width = static_cast<int>(cinfo.image_width);
    if (height)
        *height = static_cast<int>(cinfo.image_height);

    long long w = cinfo.image_width, h = cinfo.image_height;
    unsigned denom = 1;
    for (int i = 0; i < 3 && 2ll * boxWidth < w && 2ll * boxHeight < h; ++i) {
        w /= 2;
        h /= 2;
        denom *= 2;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = denom;
    cinfo.dct_method = JDCT_IFAST;
    cinfo.do_fancy_upsampling = FALSE;

    if (w > usableW || h > usableH) {
        const double dw = static_cast<double>(w) / usableW, dh = static_cast<double>(h) / usableH;
        const double d = dw > dh ? dw : dh;
        w = static_cast<long long>(w / d);
        h = static_cast<long long>(h / d);
    }
    const int n = static_cast<int>(w), m = static_cast<int>(h);

    jpeg_start_decompress(&cinfo);
    const int decodedW = static_cast<int>(cinfo.output_width);
    const int decodedH = static_cast<int>(cinfo.output_height);
    JSAMPARRAY line = (*cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&cinfo), JPOOL_IMAGE,
                                                 cinfo.output_width * static_cast<JDIMENSION>(cinfo.output_components), 1);

    const int x0 = (boxWidth - n - (shadow ? 4 : 0)) / 2;
    const int y0 = (boxHeight - m - (shadow ? 4 : 0)) / 2;
    int frame = 0;
    if (white) {
        frame = 1;
        box.Rect(x0 - 1, y0 - 1, x0 + n, y0 + m, 255);
    }
    if (grey) {
        ++frame;
        box.Rect(x0 - frame, y0 - frame, x0 + n - 1 + frame, y0 + m - 1 + frame, 165);
    }
    if (shadow) {
        static const int kShade[4] = {127, 159, 191, 223};
        const int left = x0 - frame, top = y0 - frame, right = x0 + n - 1 + frame, bottom = y0 + m - 1 + frame;
        for (int k = 0; k < 4; ++k) {
            const BYTE b = static_cast<BYTE>(bgB * kShade[k] / 256), g = static_cast<BYTE>(bgG * kShade[k] / 256),
                       r = static_cast<BYTE>(bgR * kShade[k] / 256);
            for (int y = top + 1 + k; y <= bottom + k; ++y)
                box.Put(right + 1 + k, y, b, g, r);
            for (int x = left + 1 + k; x <= right + 1 + k; ++x)
                box.Put(x, bottom + 1 + k, b, g, r);
        }
    }

    // x0 + n and y0 + m never pass the box: n and m are at most the usable size.
    bool ok = true;
    for (int i = 0; ok && i < m; ++i) {
        const JDIMENSION src = static_cast<JDIMENSION>(static_cast<long long>(i) * decodedH / m);
        while (ok && cinfo.output_scanline <= src)
            ok = jpeg_read_scanlines(&cinfo, line, 1) == 1;
        if (ok)
            DrawRow(box.Row(y0 + i) + 3 * static_cast<ptrdiff_t>(x0), line[0], cinfo.out_color_space, n, decodedW);
    }

    jpeg_destroy_decompress(&cinfo);
    std::fclose(file);
    return ok ? 1 : 0;
}
