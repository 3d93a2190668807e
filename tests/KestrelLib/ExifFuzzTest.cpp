// Mutated EXIF blocks and JPEG headers: parsing, patching and writing must
// stay inside the data (the sanitizer build runs this too) and never fail a
// load or write a broken marker.
#include "ExifTestBlock.h"

#include <random>

using exiftest::Block;
using ktest::ImageRef;

namespace {

// Byte flips, boundary values in 16- and 32-bit fields, cuts and insertions;
// the first six bytes ("Exif\0\0") are kept most of the time so the mutation
// reaches the TIFF structure.
std::vector<uint8_t> Mutate(std::vector<uint8_t> d, std::mt19937& rng)
{
    auto pick = [&](size_t n) { return n ? static_cast<size_t>(rng() % n) : 0; };
    const size_t start = rng() % 16 ? 6 : 0;
    const int edits = 1 + static_cast<int>(rng() % 4);
    for (int e = 0; e < edits && d.size() > start + 4; ++e) {
        const size_t at = start + pick(d.size() - start - 4);
        switch (rng() % 6) {
        case 0: d[at] ^= static_cast<uint8_t>(1u << (rng() % 8)); break;
        case 1: d[at] = static_cast<uint8_t>(rng()); break;
        case 2: {
            static const uint32_t kEdges[] = {0, 1, 2, 0x7F, 0xFF, 0xFFFF, 0x7FFFFFFF, 0x80000000u, 0xFFFFFFFFu, 0xFFFFFFF8u};
            uint32_t v = kEdges[rng() % 10];
            if (rng() % 2)
                v = static_cast<uint32_t>(d.size() - 6 - rng() % 24);
            for (int i = 0; i < 4; ++i)
                d[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (8 * (rng() % 2 ? i : 3 - i)));
            break;
        }
        case 3: d.resize(start + 4 + pick(d.size() - start - 4)); break;
        case 4: d.insert(d.begin() + static_cast<long>(at), 1 + rng() % 16, static_cast<uint8_t>(rng())); break;
        default: d[at] = 0; d[at + 1] = static_cast<uint8_t>(rng() % 3 == 0 ? 0 : rng()); break;
        }
    }
    if (d.size() > 65533)
        d.resize(65533);
    return d;
}

std::vector<std::vector<uint8_t>> Seeds()
{
    std::vector<std::vector<uint8_t>> seeds;
    for (bool le : {true, false}) {
        Block b;
        b.le = le;
        b.ifd0 = {b.Ascii(271, "Maker"), b.Ascii(272, "Model X"), b.Short(274, 6), b.Ascii(33432, "Copy")};
        b.exif = {b.Rational(33434, 1, 250), b.Rational(33437, 28, 10), b.Short(34855, 200),
                  b.Ascii(36867, "2014:05:03 12:34:56"), b.Rational(37377, 8, 1, 10), b.Rational(37378, 4, 1),
                  b.Raw(37510, 7, {'A', 'S', 'C', 'I', 'I', 0, 0, 0, 'h', 'i'}), b.Short(40962, 640),
                  b.Short(40963, 480), b.Short(41989, 50)};
        b.gps = {b.Ascii(1, "N"), b.Rational(2, 48, 1), b.Ascii(3, "E"), b.Rational(6, 35, 1)};
        b.gps[1].count = 3;
        for (int i = 0; i < 2; ++i) {
            b.Put32(b.gps[1].data, 30);
            b.Put32(b.gps[1].data, 1);
        }
        b.thumb = exiftest::SmallJpeg(16, 16);
        seeds.push_back(b.Build());
    }
    for (const auto& f : testjpeg::CorpusFiles())
        for (auto& [code, data] : exiftest::Markers(testjpeg::ReadFile(f)))
            if (code == 0xE1 && data.size() > 6 && std::equal(data.begin(), data.begin() + 6, "Exif\0\0"))
                seeds.push_back(data);
    return seeds;
}

// Bytes up to and including the start-of-scan segment.
size_t HeaderLength(const std::vector<uint8_t>& jpeg)
{
    size_t p = 2;
    while (p + 4 <= jpeg.size() && jpeg[p] == 0xFF) {
        const size_t len = size_t(jpeg[p + 2]) << 8 | jpeg[p + 3];
        p += 2 + len;
        if (jpeg[p - 2 - len + 1] == 0xDA)
            break;
    }
    return std::min(p, jpeg.size());
}

} // namespace

TEST(ExifFuzz, MutatedBlocksParseAndWrite)
{
    const std::vector<std::vector<uint8_t>> seeds = Seeds();
    const std::vector<uint8_t> base = exiftest::SmallJpeg(16, 16);
    const std::vector<uint8_t> thumb = exiftest::SmallJpeg(8, 8);
    std::mt19937 rng(20240611);
    const int iterations = std::getenv("PIXMEND_SANITIZED") ? 3000 : 20000;
    int written = 0;
    for (int it = 0; it < iterations; ++it) {
        const std::vector<uint8_t> app1 = Mutate(seeds[static_cast<size_t>(it) % seeds.size()], rng);
        ImageRef k;
        CDllImage* img = k.impl();
        img->m_markers = {{JPEG_APP0, {'J', 'F', 'I', 'F', 0}}, {JPEG_APP0 + 1, app1}, {JPEG_COM, {'c'}}};
        img->m_exif.Parse(img->m_markers);
        k->SetOrientation(static_cast<int>(rng() % 9));
        int size = 0;
        k->GetExifThumbnailSize(&size);

        exiftest::SaveChoice c;
        c.thumbMode = it % 3;
        if (c.thumbMode == 2)
            c.thumb = thumb;
        const std::vector<uint8_t> out = exiftest::Transcode(img, base, c);
        if (out.empty()) // only a block grown past a marker's limit may fail the write
            ASSERT_GT(app1.size() + 100 + thumb.size(), 65533u) << "iteration " << it;
        else {
            ++written;
            // What was written is a well-formed JPEG whose EXIF block parses again.
            ImageRef again;
            ASSERT_EQ(ktest::LoadBytes(again.p, out, 1), 1) << "iteration " << it;
        }
    }
    EXPECT_GT(written, iterations * 9 / 10);
}

TEST(ExifFuzz, MutatedHeadersLoad)
{
    std::vector<std::vector<uint8_t>> jpegs;
    for (const auto& seed : Seeds())
        jpegs.push_back(exiftest::SmallJpeg(24, 16, {{JPEG_APP0 + 1, seed}, {JPEG_COM, {'x', 'y'}}}));
    std::mt19937 rng(77);
    const int iterations = std::getenv("PIXMEND_SANITIZED") ? 3000 : 20000;
    int loaded = 0;
    for (int it = 0; it < iterations; ++it) {
        std::vector<uint8_t> jpeg = jpegs[static_cast<size_t>(it) % jpegs.size()];
        // Mutate anywhere in the header (markers, tables, frame), keeping the SOI.
        const size_t header = HeaderLength(jpeg);
        const int edits = 1 + static_cast<int>(rng() % 6);
        for (int e = 0; e < edits; ++e) {
            const size_t at = 2 + rng() % (header - 2);
            if (rng() % 4 == 0)
                jpeg[at] = 0xFF;
            else
                jpeg[at] ^= static_cast<uint8_t>(1u << (rng() % 8));
        }
        ImageRef k;
        loaded += ktest::LoadBytes(k.p, jpeg, 1);
        k->SetOrientation(1);
        EXPECT_GE(k->GetOrientation(), 0);
    }
    EXPECT_GT(loaded, 0);
}
