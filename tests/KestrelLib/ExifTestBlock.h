// Test helpers for the EXIF record: a builder of EXIF blocks in either byte
// order, and a small transcode that drives CExif::WriteMarkers with a libjpeg
// compressor writing to memory.
#pragma once

#include "KestrelTest.h"

#include <csetjmp>
#include <cstdlib>
#include <string>

namespace exiftest {

struct Tag {
    uint16_t tag, type;
    uint32_t count;
    std::vector<uint8_t> data; // already in the block's byte order
};

// Lays out "Exif\0\0", the TIFF header, IFD0 (with the Exif and GPS links
// added when those directories have entries), the Exif IFD (with the
// interoperability link added likewise), the GPS IFD, the interoperability
// IFD and, with a thumbnail, IFD1 and the thumbnail bytes; every directory is
// followed by its out-of-line values.
struct Block {
    bool le = true;
    std::vector<Tag> ifd0, exif, gps, interop;
    std::vector<uint8_t> thumb;

    void Put16(std::vector<uint8_t>& b, uint32_t v) const
    {
        uint8_t x[2] = {uint8_t(v), uint8_t(v >> 8)};
        if (!le)
            std::swap(x[0], x[1]);
        b.insert(b.end(), x, x + 2);
    }
    void Put32(std::vector<uint8_t>& b, uint32_t v) const
    {
        uint8_t x[4] = {uint8_t(v), uint8_t(v >> 8), uint8_t(v >> 16), uint8_t(v >> 24)};
        if (!le) {
            std::swap(x[0], x[3]);
            std::swap(x[1], x[2]);
        }
        b.insert(b.end(), x, x + 4);
    }
    Tag Short(uint16_t tag, uint16_t v) const
    {
        Tag t{tag, 3, 1, {}};
        Put16(t.data, v);
        return t;
    }
    Tag Long(uint16_t tag, uint32_t v) const
    {
        Tag t{tag, 4, 1, {}};
        Put32(t.data, v);
        return t;
    }
    Tag Ascii(uint16_t tag, const std::string& s) const
    {
        Tag t{tag, 2, uint32_t(s.size() + 1), {s.begin(), s.end()}};
        t.data.push_back(0);
        return t;
    }
    Tag Rational(uint16_t tag, uint32_t n, uint32_t d, uint16_t type = 5) const
    {
        Tag t{tag, type, 1, {}};
        Put32(t.data, n);
        Put32(t.data, d);
        return t;
    }
    Tag Raw(uint16_t tag, uint16_t type, const std::vector<uint8_t>& bytes) const
    {
        return Tag{tag, type, uint32_t(bytes.size()), bytes};
    }

    static size_t DirSize(const std::vector<Tag>& tags)
    {
        size_t n = 2 + 12 * tags.size() + 4;
        for (const Tag& t : tags)
            if (t.data.size() > 4)
                n += (t.data.size() + 1) & ~size_t(1);
        return n;
    }

    void Dir(std::vector<uint8_t>& b, const std::vector<Tag>& tags, uint32_t at, uint32_t link) const
    {
        Put16(b, uint32_t(tags.size()));
        uint32_t data = at + 2 + 12 * uint32_t(tags.size()) + 4;
        std::vector<uint8_t> values;
        for (const Tag& t : tags) {
            Put16(b, t.tag);
            Put16(b, t.type);
            Put32(b, t.count);
            if (t.data.size() <= 4) {
                std::vector<uint8_t> v = t.data;
                v.resize(4, 0);
                b.insert(b.end(), v.begin(), v.end());
            } else {
                Put32(b, data + uint32_t(values.size()));
                values.insert(values.end(), t.data.begin(), t.data.end());
                if (values.size() & 1)
                    values.push_back(0);
            }
        }
        Put32(b, link);
        b.insert(b.end(), values.begin(), values.end());
    }

    std::vector<uint8_t> Build() const
    {
        std::vector<Tag> d0 = ifd0, dExif = exif, d1;
        if (!interop.empty())
            dExif.push_back(Long(40965, 0));
        if (!dExif.empty())
            d0.push_back(Long(34665, 0));
        if (!gps.empty())
            d0.push_back(Long(34853, 0));
        const uint32_t o0 = 8;
        const uint32_t oExif = o0 + uint32_t(DirSize(d0));
        const uint32_t oGps = oExif + (dExif.empty() ? 0 : uint32_t(DirSize(dExif)));
        const uint32_t oInterop = oGps + (gps.empty() ? 0 : uint32_t(DirSize(gps)));
        const uint32_t o1 = oInterop + (interop.empty() ? 0 : uint32_t(DirSize(interop)));
        for (Tag& t : d0)
            if (t.tag == 34665 || t.tag == 34853) {
                t.data.clear();
                Put32(t.data, t.tag == 34665 ? oExif : oGps);
            }
        for (Tag& t : dExif)
            if (t.tag == 40965) {
                t.data.clear();
                Put32(t.data, oInterop);
            }
        if (!thumb.empty()) {
            d1 = {Short(259, 6), Long(513, 0), Long(514, uint32_t(thumb.size()))};
            d1[1].data.clear();
            Put32(d1[1].data, o1 + uint32_t(DirSize(d1)));
        }
        std::vector<uint8_t> b = {'E', 'x', 'i', 'f', 0, 0};
        b.push_back(le ? 'I' : 'M');
        b.push_back(le ? 'I' : 'M');
        Put16(b, 42);
        Put32(b, o0);
        Dir(b, d0, o0, thumb.empty() ? 0 : o1);
        if (!dExif.empty())
            Dir(b, dExif, oExif, 0);
        if (!gps.empty())
            Dir(b, gps, oGps, 0);
        if (!interop.empty())
            Dir(b, interop, oInterop, 0);
        if (!thumb.empty()) {
            Dir(b, d1, o1, 0);
            b.insert(b.end(), thumb.begin(), thumb.end());
        }
        return b;
    }
};

inline std::vector<uint8_t> SmallJpeg(int w = 48, int h = 32, std::vector<std::pair<int, std::vector<uint8_t>>> markers = {},
                                      bool jfif = true)
{
    testjpeg::EncodeParams p;
    p.markers = std::move(markers);
    p.writeJfif = jfif;
    return testjpeg::Encode(testjpeg::MakePattern(w, h), p);
}

struct SaveChoice {
    int saveComments = 1, saveExif = 1, thumbMode = 1;
    std::vector<uint8_t> thumb;
};

// Destination manager appending to a vector.
struct VectorDest {
    jpeg_destination_mgr pub;
    std::vector<uint8_t>* out;
    uint8_t buf[4096];

    void Attach(j_compress_ptr cinfo, std::vector<uint8_t>* target)
    {
        out = target;
        pub.init_destination = [](j_compress_ptr ci) {
            auto* d = reinterpret_cast<VectorDest*>(ci->dest);
            d->pub.next_output_byte = d->buf;
            d->pub.free_in_buffer = sizeof d->buf;
        };
        pub.empty_output_buffer = [](j_compress_ptr ci) -> boolean {
            auto* d = reinterpret_cast<VectorDest*>(ci->dest);
            d->out->insert(d->out->end(), d->buf, d->buf + sizeof d->buf);
            d->pub.next_output_byte = d->buf;
            d->pub.free_in_buffer = sizeof d->buf;
            return TRUE;
        };
        pub.term_destination = [](j_compress_ptr ci) {
            auto* d = reinterpret_cast<VectorDest*>(ci->dest);
            d->out->insert(d->out->end(), d->buf, d->buf + (sizeof d->buf - d->pub.free_in_buffer));
        };
        cinfo->dest = &pub;
    }
};

// Lossless transcode of `source` with the saved markers and EXIF record of
// `image` written by WriteMarkers; empty on a codec error.
inline std::vector<uint8_t> Transcode(CDllImage* image, const std::vector<uint8_t>& source, const SaveChoice& c)
{
    struct Err {
        jpeg_error_mgr pub;
        jmp_buf jump;
    } err;
    jpeg_decompress_struct in{};
    jpeg_compress_struct out{};
    VectorDest dest;
    in.err = out.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = [](j_common_ptr ci) { std::longjmp(reinterpret_cast<Err*>(ci->err)->jump, 1); };
    err.pub.output_message = [](j_common_ptr) {};
    jpeg_create_decompress(&in);
    jpeg_create_compress(&out);
    std::vector<uint8_t> result;
    if (!setjmp(err.jump)) {
        jpeg_mem_src(&in, source.data(), static_cast<unsigned long>(source.size()));
        jpeg_read_header(&in, TRUE);
        jvirt_barray_ptr* arrays = jpeg_read_coefficients(&in);
        jpeg_copy_critical_parameters(&in, &out);
        const CExif& x = image->m_exif;
        out.write_JFIF_header = !x.m_hasJfif && !(c.saveExif && x.m_hasExif) ? TRUE : FALSE;
        dest.Attach(&out, &result);
        jpeg_write_coefficients(&out, arrays);
        image->m_exif.WriteMarkers(image->m_markers, &out, c.saveComments, c.saveExif, c.thumbMode,
                                   c.thumb.empty() ? nullptr : c.thumb.data(), static_cast<int>(c.thumb.size()));
        jpeg_finish_compress(&out);
    } else {
        result.clear();
    }
    jpeg_destroy_compress(&out);
    jpeg_destroy_decompress(&in);
    return result;
}

// The data of every APPn/COM marker of a JPEG, in file order.
inline std::vector<std::pair<int, std::vector<uint8_t>>> Markers(const std::vector<uint8_t>& jpeg)
{
    std::vector<std::pair<int, std::vector<uint8_t>>> list;
    size_t p = 2;
    while (p + 4 <= jpeg.size() && jpeg[p] == 0xFF && jpeg[p + 1] != 0xDA) {
        const int code = jpeg[p + 1];
        const size_t len = size_t(jpeg[p + 2]) << 8 | jpeg[p + 3];
        if (len < 2 || p + 2 + len > jpeg.size())
            break;
        if ((code >= 0xE0 && code <= 0xEF) || code == 0xFE)
            list.emplace_back(code, std::vector<uint8_t>(jpeg.begin() + long(p + 4), jpeg.begin() + long(p + 2 + len)));
        p += 2 + len;
    }
    return list;
}

} // namespace exiftest
