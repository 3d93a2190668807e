// The new EXIF thumbnail written by a save: the current image scaled into a
// box by area averaging and encoded as a small baseline JPEG (quality 75,
// YCbCr 4:2:0, optimised Huffman tables, no JFIF) that must fit in
// kExifThumbCapacity bytes.
//
// Source rows come from the caller's bitmap when the options carry one, else
// from rendering the coefficients one MCU row at a time. Rows are asked for in
// ascending order (a row straddling two output rows is asked for twice in a
// row), so one rendered band of MCU rows is enough.
#include "Save.h"

#include "DCT.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

namespace {

class ThumbRowSource {
public:
    ThumbRowSource(CDllImage& image, const SaveOptions& options) : m_image(image)
    {
        if (options.Bitmap) {
            m_bitmap = options.Bitmap;
            m_stride = options.BitmapStride;
            return;
        }
        if (!image.m_decoderOpen)
            return;
        m_dct.emplace(&image.m_decoder);
        // An image the converters cannot draw gets no thumbnail rather than
        // one of whatever the band held.
        if (!m_dct->IsConvertible())
            return;
        m_mcuHeight = m_dct->McuHeight();
        const int mcuWidth = m_dct->McuWidth();
        m_bandWidth = (image.m_width + mcuWidth - 1) / mcuWidth * mcuWidth;
        m_bandStride = static_cast<ptrdiff_t>(m_bandWidth) * 3;
        m_band.resize(static_cast<size_t>(m_bandStride) * static_cast<size_t>(m_mcuHeight));
    }

    // Row y of the image as BGR pixels; null when it cannot be rendered.
    const uint8_t* Row(int y)
    {
        if (m_bitmap)
            return m_bitmap + static_cast<ptrdiff_t>(y) * m_stride;
        if (m_band.empty())
            return nullptr;
        const int band = y / m_mcuHeight;
        if (band != m_bandIndex) {
            m_bandIndex = -1;
            if (!m_dct->DecodeToBitmap(m_image.m_coef, static_cast<size_t>(m_image.m_coefCount), m_band.data(),
                                       m_bandStride, band * m_mcuHeight, m_bandWidth, m_mcuHeight))
                return nullptr;
            m_bandIndex = band;
        }
        return m_band.data() + static_cast<ptrdiff_t>(y - band * m_mcuHeight) * m_bandStride;
    }

private:
    CDllImage& m_image;
    const BYTE* m_bitmap = nullptr;
    ptrdiff_t m_stride = 0;
    std::optional<CDCT> m_dct;
    std::vector<uint8_t> m_band; // one MCU row of the padded width
    ptrdiff_t m_bandStride = 0;
    int m_bandWidth = 0;
    int m_mcuHeight = 0;
    int m_bandIndex = -1;
};

// Area-averaging weights from `src` cells down to `dst` cells: output cell o
// takes source cells first[o] .. first[o] + count[o] - 1 with the weights at
// weight[offset[o]...]; a whole source cell weighs dst / src, a cell on a
// boundary its covered fraction of that.
struct AreaSpans {
    std::vector<int> first, count, offset;
    std::vector<float> weight;

    void Build(int src, int dst)
    {
        first.assign(static_cast<size_t>(dst), 0);
        count.assign(static_cast<size_t>(dst), 0);
        offset.assign(static_cast<size_t>(dst), 0);
        weight.clear();
        const double scale = static_cast<double>(src) / dst;
        const float f = static_cast<float>(dst) / static_cast<float>(src);
        for (int o = 0; o < dst; ++o) {
            const double a = o * scale;
            const double b = o + 1 == dst ? src : (o + 1) * scale;
            const int s0 = static_cast<int>(a);
            const int s1 = std::min(src - 1, static_cast<int>(std::ceil(b)) - 1);
            first[static_cast<size_t>(o)] = s0;
            offset[static_cast<size_t>(o)] = static_cast<int>(weight.size());
            for (int s = s0; s <= s1; ++s) {
                const double covered = std::min<double>(b, s + 1) - std::max<double>(a, s);
                weight.push_back(covered > 0 ? static_cast<float>(covered) * f : 0.0f);
            }
            count[static_cast<size_t>(o)] = s1 - s0 + 1;
        }
    }
};

struct ThumbDest {
    jpeg_destination_mgr pub;
};

void ThumbInitDestination(j_compress_ptr) {}
void ThumbTermDestination(j_compress_ptr) {}
boolean ThumbEmptyOutputBuffer(j_compress_ptr cinfo)
{
    // The thumbnail has outgrown its buffer.
    RaiseCompressError(cinfo, 0);
}

inline uint8_t ToByte(float v)
{
    const float r = v + 0.5f;
    return r >= 255.0f ? 255 : (r <= 0.0f ? 0 : static_cast<uint8_t>(r));
}

// Working memory of one thumbnail, allocated before the jump context is armed.
struct ThumbWork {
    int width = 0, height = 0;           // source
    int thumbWidth = 0, thumbHeight = 0; // output
    bool scaled = false;
    AreaSpans rows, cols;
    std::vector<float> acc; // one vertically averaged source row, BGR
    std::vector<JSAMPLE> line; // one output row, RGB
};

// Encodes the thumbnail into `out` (kExifThumbCapacity bytes); returns the
// length written, or 0 on failure.
int EncodeThumbnail(ThumbWork& w, ThumbRowSource& source, uint8_t* out)
{
    jpeg_compress_struct cinfo;
    KsErrorMgr err;
    ThumbDest dest;
    std::memset(static_cast<void*>(&cinfo), 0, sizeof cinfo);
    cinfo.err = InitErrorMgr(&err);
    if (setjmp(err.jump)) {
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_create_compress(&cinfo);
    dest.pub.next_output_byte = out;
    dest.pub.free_in_buffer = kExifThumbCapacity;
    dest.pub.init_destination = ThumbInitDestination;
    dest.pub.empty_output_buffer = ThumbEmptyOutputBuffer;
    dest.pub.term_destination = ThumbTermDestination;
    cinfo.dest = &dest.pub;
    cinfo.image_width = static_cast<JDIMENSION>(w.thumbWidth);
    cinfo.image_height = static_cast<JDIMENSION>(w.thumbHeight);
    cinfo.input_components = 3;
    cinfo.in_color_space = JCS_RGB;
    jpeg_set_defaults(&cinfo);
    cinfo.optimize_coding = TRUE;
    cinfo.write_JFIF_header = FALSE;
    jpeg_set_quality(&cinfo, 75, TRUE);
    jpeg_start_compress(&cinfo, TRUE);

    JSAMPROW line = w.line.data();
    float* acc = w.acc.data();
    const size_t accCount = w.acc.size();
    for (int o = 0; o < w.thumbHeight; ++o) {
        if (!w.scaled) {
            const uint8_t* in = source.Row(o);
            if (!in) {
                jpeg_destroy_compress(&cinfo);
                return 0;
            }
            for (int x = 0; x < w.width; ++x) {
                line[3 * x] = in[3 * x + 2];
                line[3 * x + 1] = in[3 * x + 1];
                line[3 * x + 2] = in[3 * x];
            }
        } else {
            std::fill(acc, acc + accCount, 0.0f);
            const size_t ro = static_cast<size_t>(o);
            for (int k = 0; k < w.rows.count[ro]; ++k) {
                const uint8_t* in = source.Row(w.rows.first[ro] + k);
                if (!in) {
                    jpeg_destroy_compress(&cinfo);
                    return 0;
                }
                const float f = w.rows.weight[static_cast<size_t>(w.rows.offset[ro] + k)];
                for (size_t i = 0; i < accCount; ++i)
                    acc[i] += f * static_cast<float>(in[i]);
            }
            for (int x = 0; x < w.thumbWidth; ++x) {
                const size_t xo = static_cast<size_t>(x);
                float b = 0, g = 0, r = 0;
                const float* px = acc + static_cast<size_t>(w.cols.first[xo]) * 3;
                const float* wt = w.cols.weight.data() + w.cols.offset[xo];
                for (int k = 0; k < w.cols.count[xo]; ++k) {
                    b += wt[k] * px[3 * k];
                    g += wt[k] * px[3 * k + 1];
                    r += wt[k] * px[3 * k + 2];
                }
                line[3 * x] = ToByte(r);
                line[3 * x + 1] = ToByte(g);
                line[3 * x + 2] = ToByte(b);
            }
        }
        jpeg_write_scanlines(&cinfo, &line, 1);
    }

    jpeg_finish_compress(&cinfo);
    const int length = kExifThumbCapacity - static_cast<int>(dest.pub.free_in_buffer);
    jpeg_destroy_compress(&cinfo);
    return length;
}

} // namespace

void ExifThumbnailSize(int width, int height, int box, int* thumbWidth, int* thumbHeight)
{
    box = box < 32 ? 32 : (box > 256 ? 256 : box);
    const int m = width > height ? width : height;
    if (box < m) {
        const double factor = static_cast<double>(m) / box;
        *thumbWidth = static_cast<int>(width / factor);
        *thumbHeight = static_cast<int>(height / factor);
    } else {
        *thumbWidth = width;
        *thumbHeight = height;
    }
}

bool MakeExifThumbnail(CDllImage& image, const SaveOptions& options, std::vector<uint8_t>* out)
{
    out->clear();
    if (!image.m_coef || image.m_width <= 0 || image.m_height <= 0)
        return false;
    ThumbWork w;
    w.width = image.m_width;
    w.height = image.m_height;
    ExifThumbnailSize(w.width, w.height, options.EXIFThumbSize, &w.thumbWidth, &w.thumbHeight);
    if (w.thumbWidth <= 0 || w.thumbHeight <= 0)
        return false;
    w.scaled = w.thumbWidth != w.width || w.thumbHeight != w.height;
    if (w.scaled) {
        w.rows.Build(w.height, w.thumbHeight);
        w.cols.Build(w.width, w.thumbWidth);
        w.acc.assign(static_cast<size_t>(w.width) * 3, 0.0f);
    }
    w.line.assign(static_cast<size_t>(w.thumbWidth) * 3, 0);

    ThumbRowSource source(image, options);
    out->resize(kExifThumbCapacity);
    const int length = EncodeThumbnail(w, source, out->data());
    if (length <= 0) {
        out->clear();
        return false;
    }
    out->resize(static_cast<size_t>(length));
    return true;
}
