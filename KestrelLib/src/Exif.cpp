// EXIF reading and marker writing.
//
// The EXIF block is the image object's own copy of the APP1 marker data:
// "Exif\0\0" followed by a TIFF structure whose offsets count from the TIFF
// header, 6 bytes into the marker data. Every value is read only when it lies
// wholly inside the block; offsets, counts and their products are computed in
// 64 bits before they are compared with the block length, so a malformed block
// can neither read outside the marker nor wrap around.
//
// Positions kept for later patches (orientation value, pixel-dimension
// entries, IFD0 link) count from the start of the marker data and belong to
// the marker at m_exifMarkerIndex. They are checked against that marker
// before every use: the marker list is cleared by Close and refilled by the
// next load, while the record keeps its values until the next parse.
//
// The block is never rebuilt. A save may only cut it at the cut offset (the
// first byte no kept directory or value needs) and append a new IFD1.
#include "Exif.h"

#include <charconv>

#include "DllImage.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

constexpr int kApp0 = JPEG_APP0;
constexpr int kApp1 = JPEG_APP0 + 1;
constexpr int kApp2 = JPEG_APP0 + 2;
constexpr int kApp14 = JPEG_APP0 + 14;
constexpr size_t kTiffStart = 6; // "Exif\0\0"

enum : uint16_t {
    kTagImageDescription = 270,
    kTagMake = 271,
    kTagModel = 272,
    kTagOrientation = 274,
    kTagCopyright = 33432,
    kTagExifIfd = 34665,
    kTagGpsIfd = 34853,
    kTagExposureTime = 33434,
    kTagFNumber = 33437,
    kTagIso = 34855,
    kTagDateTimeOriginal = 36867,
    kTagShutterSpeed = 37377,
    kTagAperture = 37378,
    kTagFocalLength = 37386,
    kTagUserComment = 37510,
    kTagSubSecTimeOriginal = 37521,
    kTagPixelX = 40962,
    kTagPixelY = 40963,
    kTagInteropIfd = 40965,
    kTagFocalLength35 = 41989,
    kTagThumbOffset = 513,
};

enum : uint16_t { kTypeShort = 3, kTypeLong = 4 };

bool IsExifHeader(const std::vector<uint8_t>& d)
{
    return d.size() > 7 && std::memcmp(d.data(), "Exif\0\0", 6) == 0;
}

bool StartsWith(const std::vector<uint8_t>& d, const char* text, size_t n)
{
    return d.size() >= n && std::memcmp(d.data(), text, n) == 0;
}

// Bytes of one value of a TIFF type; 0 for a type this reader does not know.
uint64_t TypeSize(uint16_t type)
{
    switch (type) {
    case 1: case 2: case 6: case 7: return 1; // BYTE, ASCII, SBYTE, UNDEFINED
    case 3: case 8: return 2;                 // SHORT, SSHORT
    case 4: case 9: case 11: case 13: return 4; // LONG, SLONG, FLOAT, IFD
    case 5: case 10: case 12: return 8;       // RATIONAL, SRATIONAL, DOUBLE
    default: return 0;
    }
}

// Expands the one "%.Nf" conversion in `format` with std::to_chars, so the
// host program's locale (Qt sets LC_NUMERIC) never changes the decimal point.
std::string Format(const char* format, double value)
{
    std::string out;
    for (const char* p = format; *p; ++p) {
        if (p[0] == '%' && p[1] == '.' && p[2] >= '0' && p[2] <= '9' && p[3] == 'f') {
            char buf[64];
            const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, p[2] - '0');
            if (r.ec == std::errc())
                out.append(buf, r.ptr);
            p += 3;
        } else {
            out += *p;
        }
    }
    return out;
}

// Read-only view of the TIFF structure of one EXIF block.
struct Tiff {
    const uint8_t* p = nullptr;
    uint64_t len = 0;
    bool le = false;

    bool Has(uint64_t off, uint64_t size) const { return off <= len && size <= len - off; }
    uint16_t U16(uint64_t off) const
    {
        return le ? static_cast<uint16_t>(p[off] | p[off + 1] << 8) : static_cast<uint16_t>(p[off] << 8 | p[off + 1]);
    }
    uint32_t U32(uint64_t off) const
    {
        const uint32_t a = p[off], b = p[off + 1], c = p[off + 2], d = p[off + 3];
        return le ? (a | b << 8 | c << 16 | d << 24) : (a << 24 | b << 16 | c << 8 | d);
    }
};

struct Entry {
    uint64_t pos; // from the TIFF header
    uint16_t tag;
    uint16_t type;
    uint32_t count;
    uint32_t offset; // the value field read as a 32-bit offset
};

// Calls fn for every entry of the directory at `off` that lies wholly inside
// the block. Returns the position after the last entry when all of them fit,
// else 0 (also for an empty or unreadable directory).
template <typename Fn>
uint64_t ForEachEntry(const Tiff& t, uint64_t off, Fn&& fn)
{
    if (!t.Has(off, 2))
        return 0;
    const uint32_t count = t.U16(off);
    if (count == 0)
        return 0;
    for (uint32_t i = 0; i < count; ++i) {
        const uint64_t pos = off + 2 + 12ull * i;
        if (!t.Has(pos, 12))
            return 0;
        fn(Entry{pos, t.U16(pos), t.U16(pos + 2), t.U32(pos + 4), t.U32(pos + 8)});
    }
    return off + 2 + 12ull * count;
}

uint32_t EntryCount(const Tiff& t, uint64_t off)
{
    return t.Has(off, 2) ? t.U16(off) : 0;
}

// Byte string of an entry: in the entry when it fits 4 bytes, else at its
// offset; up to the first zero byte.
std::string Ascii(const Tiff& t, const Entry& e)
{
    const uint64_t at = e.count <= 4 ? e.pos + 8 : e.offset;
    if (!t.Has(at, e.count))
        return {};
    const auto* s = reinterpret_cast<const char*>(t.p + at);
    return std::string(s, strnlen(s, e.count));
}

// A 16-bit value held in the entry (SHORT, or LONG cut to 16 bits); the
// position of its two bytes goes to *where.
bool Short(const Tiff& t, const Entry& e, uint16_t* value, uint64_t* where = nullptr)
{
    uint64_t at;
    if (e.type == kTypeShort)
        at = e.pos + 8;
    else if (e.type == kTypeLong)
        at = e.pos + (t.le ? 8 : 10);
    else
        return false;
    if (e.count < 1)
        return false;
    *value = t.U16(at);
    if (where)
        *where = at;
    return true;
}

// The first rational of a RATIONAL or SRATIONAL entry; other types hold no
// rational, whatever their bytes look like.
bool Rational(const Tiff& t, const Entry& e, uint32_t* n, uint32_t* d)
{
    const uint64_t off = e.offset;
    if ((e.type != 5 && e.type != 10) || e.count < 1 || !t.Has(off, 8))
        return false;
    *n = t.U32(off);
    *d = t.U32(off + 4);
    return true;
}

double RationalValue(const Tiff& t, uint64_t off)
{
    if (!t.Has(off, 8))
        return 0.0;
    const uint32_t n = t.U32(off), d = t.U32(off + 4);
    return d != 0 ? static_cast<double>(n) / d : 0.0;
}

std::string ExposureText(uint32_t n, uint32_t d)
{
    if (n == 0 || d == 0)
        return {};
    const float nf = static_cast<float>(n), df = static_cast<float>(d);
    if (d > n)
        return Format("1/%.0fs", static_cast<double>(df / nf));
    return Format("%.1fs", static_cast<double>(nf / df));
}

std::string FNumberText(uint32_t n, uint32_t d)
{
    if (d == 0)
        return {};
    if (d == 10)
        return Format("F%.1f", static_cast<double>(static_cast<float>(n) / 10.0f));
    return Format("F%.2f", static_cast<double>(static_cast<float>(n) / static_cast<float>(d)));
}

std::string ShutterText(int32_t n, int32_t d)
{
    static const char* const kTimes[12] = {"1", "2", "4", "8", "15", "30", "60", "125", "250", "500", "1000", "2000"};
    if (d == 0)
        return {};
    // 64 bits: INT_MIN / -1 does not fit 32.
    const int64_t q = static_cast<int64_t>(n) / d;
    const int64_t v = q < 0 ? -q : q;
    if (v >= 12)
        return {};
    return q >= 0 ? std::string("1/") + kTimes[v] + "s" : std::string(kTimes[v]) + "s";
}

bool Digits(const uint8_t* s, int count, uint16_t* out)
{
    int v = 0;
    for (int i = 0; i < count; ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        v = v * 10 + (s[i] - '0');
    }
    *out = static_cast<uint16_t>(v);
    return true;
}

// "YYYY:MM:DD HH:MM:SS"; a text with anything but digits where they belong is absent.
SYSTEMTIME ParseDate(const uint8_t* s)
{
    SYSTEMTIME st{};
    const bool ok = Digits(s, 4, &st.wYear) && Digits(s + 5, 2, &st.wMonth) && Digits(s + 8, 2, &st.wDay)
        && Digits(s + 11, 2, &st.wHour) && Digits(s + 14, 2, &st.wMinute) && Digits(s + 17, 2, &st.wSecond);
    return ok ? st : SYSTEMTIME{};
}

std::u16string UserComment(const Tiff& t, const Entry& e)
{
    if (e.count <= 8 || !t.Has(e.offset, e.count))
        return {};
    const uint8_t* code = t.p + e.offset;
    std::u16string text;
    if (code[0] == 0 || std::memcmp(code, "ASCII\0\0\0", 8) == 0) {
        for (uint64_t i = 8; i < e.count && code[i]; ++i)
            text.push_back(static_cast<char16_t>(code[i]));
    } else if (std::memcmp(code, "UNICODE\0", 8) == 0) {
        const uint64_t units = (e.count - 8) / 2;
        for (uint64_t i = 0; i < units; ++i) {
            const char16_t c = static_cast<char16_t>(t.U16(e.offset + 8 + 2 * i));
            if (c == 0)
                break;
            text.push_back(c);
        }
    }
    // Cameras pad the comment with spaces.
    while (!text.empty() && text.back() == u' ')
        text.pop_back();
    return text;
}

double Degrees(const Tiff& t, const Entry& e)
{
    const uint64_t off = e.offset;
    if (e.type != 5 || e.count < 3 || !t.Has(off, 24))
        return 0.0;
    return RationalValue(t, off) + RationalValue(t, off + 8) / 60.0 + RationalValue(t, off + 16) / 3600.0;
}

// Collects what the cut offset must keep. `cut` follows the rule of the
// IFD1 offset and the out-of-line values of IFD0 and the Exif IFD; `kept`
// covers every other structure the kept directories point to (the
// directories themselves, the GPS and interoperability directories and their
// values), which a cut must not drop either.
struct CutScan {
    uint64_t cut = 0;
    uint64_t kept = 0;
    bool unsafe = false; // a value of unknown size: no cut can be proved safe

    static void Raise(const Tiff& t, uint64_t off, uint64_t size, uint64_t* end)
    {
        if (size > 0 && t.Has(off, size) && off + size > *end)
            *end = off + size;
    }

    void Values(const Tiff& t, const Entry& e, uint64_t* end)
    {
        const uint64_t size = TypeSize(e.type);
        if (size == 0) {
            unsafe = true;
            return;
        }
        const uint64_t bytes = size * e.count;
        if (bytes > 4)
            Raise(t, e.offset, bytes, end);
    }

    // A directory with its link and out-of-line values, all into `kept`.
    void Directory(const Tiff& t, uint64_t off)
    {
        const uint32_t count = EntryCount(t, off);
        if (count == 0)
            return;
        Raise(t, off, 2 + 12ull * count + 4, &kept);
        Raise(t, off, 2 + 12ull * count, &kept);
        ForEachEntry(t, off, [&](const Entry& e) { Values(t, e, &kept); });
    }
};

} // namespace

// ---------------------------------------------------------------- parsing

namespace {

struct Parser {
    CExif& x;
    Tiff t;
    CutScan scan;
    uint64_t exifIfd = 0, gpsIfd = 0, interopIfd = 0;

    void Ifd0(uint64_t off)
    {
        const uint64_t end = ForEachEntry(t, off, [&](const Entry& e) {
            switch (e.tag) {
            case kTagImageDescription: x.m_imageDescription = Ascii(t, e); break;
            case kTagMake: x.m_make = Ascii(t, e); break;
            case kTagModel: x.m_model = Ascii(t, e); break;
            case kTagCopyright: x.m_copyright = Ascii(t, e); break;
            case kTagOrientation: {
                uint16_t v;
                uint64_t at;
                if (Short(t, e, &v, &at)) {
                    x.m_orientation = v;
                    x.m_orientationPos = static_cast<size_t>(at + kTiffStart);
                }
                break;
            }
            case kTagExifIfd:
                if (t.len >= 2 && e.offset <= t.len - 2)
                    exifIfd = e.offset;
                break;
            case kTagGpsIfd:
                if (t.len >= 2 && e.offset <= t.len - 2)
                    gpsIfd = e.offset;
                break;
            default: break;
            }
            scan.Values(t, e, &scan.cut);
        });
        if (end)
            x.m_ifd0LinkPos = static_cast<size_t>(end + kTiffStart);
        scan.Directory(t, off);
    }

    void ExifIfd(uint64_t off)
    {
        // A directory of one entry is not read, but a cut must still keep it.
        if (EntryCount(t, off) >= 2)
            ForEachEntry(t, off, [&](const Entry& e) {
                ExifEntry(e);
                scan.Values(t, e, &scan.cut);
            });
        scan.Directory(t, off);
    }

    void ExifEntry(const Entry& e)
    {
        uint32_t n, d;
        uint16_t v;
        switch (e.tag) {
        case kTagExposureTime:
            if (Rational(t, e, &n, &d))
                x.m_exposureTime = ExposureText(n, d);
            break;
        case kTagFNumber:
            if (Rational(t, e, &n, &d))
                x.m_fNumber = FNumberText(n, d);
            break;
        case kTagIso:
            if (Short(t, e, &v))
                x.m_iso = Format("ISO%.0f", v);
            break;
        case kTagDateTimeOriginal:
            if (e.count >= 19 && t.Has(e.offset, 19) && t.p[e.offset] != '0')
                x.m_exifDate = ParseDate(t.p + e.offset);
            break;
        case kTagShutterSpeed:
            if (Rational(t, e, &n, &d))
                x.m_shutterSpeed = ShutterText(static_cast<int32_t>(n), static_cast<int32_t>(d));
            break;
        case kTagAperture:
            if (Rational(t, e, &n, &d) && d != 0)
                x.m_aperture = Format("F%.1f", std::pow(2.0, static_cast<double>(n) / d / 2.0));
            break;
        case kTagFocalLength:
            if (Rational(t, e, &n, &d) && d != 0)
                x.m_focalLength = Format("%.1fmm", static_cast<double>(static_cast<float>(n) / static_cast<float>(d)));
            break;
        case kTagUserComment: x.m_userComment = UserComment(t, e); break;
        case kTagSubSecTimeOriginal: x.m_subSecTime = Ascii(t, e); break;
        case kTagPixelX: x.m_pixelXPos = static_cast<size_t>(e.pos + kTiffStart); break;
        case kTagPixelY: x.m_pixelYPos = static_cast<size_t>(e.pos + kTiffStart); break;
        case kTagFocalLength35:
            if (Short(t, e, &v))
                x.m_focalLength35 = Format("%.0fmm", v);
            break;
        case kTagInteropIfd:
            if (t.len >= 2 && e.offset <= t.len - 2)
                interopIfd = e.offset;
            break;
        default: break;
        }
    }

    void GpsIfd(uint64_t off)
    {
        if (EntryCount(t, off) < 2)
            return;
        ForEachEntry(t, off, [&](const Entry& e) {
            switch (e.tag) {
            case 1: x.m_gpsLatitudeRef = Ascii(t, e) + " "; break;
            case 2: x.m_gpsLatitude = Degrees(t, e); break;
            case 3: x.m_gpsLongitudeRef = Ascii(t, e) + " "; break;
            case 4: x.m_gpsLongitude = Degrees(t, e); break;
            case 5: x.m_gpsAltitudeRef = t.p[e.pos + 8]; break;
            case 6: x.m_gpsAltitude = e.type == 5 ? RationalValue(t, e.offset) : 0.0; break;
            default: break;
            }
        });
    }

    void Ifd1(uint64_t off)
    {
        ForEachEntry(t, off, [&](const Entry& e) {
            if (e.tag == kTagThumbOffset)
                ThumbnailSize(e.offset);
        });
    }

    // Walks the thumbnail's markers up to its baseline SOF.
    void ThumbnailSize(uint64_t off)
    {
        if (!t.Has(off, 2) || t.p[off] != 0xFF || t.p[off + 1] != 0xD8)
            return;
        uint64_t pos = off + 2;
        while (t.Has(pos, 4) && t.p[pos] == 0xFF && t.p[pos + 1] != 0xD9) {
            if (t.p[pos + 1] == 0xC0) {
                if (t.Has(pos, 9)) {
                    x.m_thumbHeight = static_cast<uint16_t>(t.p[pos + 5] << 8 | t.p[pos + 6]);
                    x.m_thumbWidth = static_cast<uint16_t>(t.p[pos + 7] << 8 | t.p[pos + 8]);
                }
                return;
            }
            pos += 2 + static_cast<uint64_t>(t.p[pos + 2] << 8 | t.p[pos + 3]);
        }
    }

    void Run(uint64_t ifd0)
    {
        Ifd0(ifd0);
        if (exifIfd)
            ExifIfd(exifIfd);
        if (gpsIfd) {
            GpsIfd(gpsIfd);
            scan.Directory(t, gpsIfd);
        }
        if (interopIfd)
            scan.Directory(t, interopIfd);

        if (x.m_ifd0LinkPos) {
            const uint64_t link = x.m_ifd0LinkPos - kTiffStart;
            if (!t.Has(link, 4)) {
                x.m_ifd0LinkPos = 0;
            } else {
                const uint64_t ifd1 = t.U32(link);
                if (ifd1 != 0 && t.len >= 2 && ifd1 <= t.len - 2) {
                    Ifd1(ifd1);
                    if (ifd1 > scan.cut)
                        scan.cut = ifd1;
                }
            }
        }
        // A cut must keep everything the kept directories reach; with a value
        // of unknown size nothing can be proved, and the block stays whole.
        if (scan.unsafe)
            scan.cut = 0;
        else if (scan.cut != 0 && scan.kept > scan.cut)
            scan.cut = scan.kept;
        x.m_cutOffset = static_cast<uint32_t>(scan.cut);
    }
};

} // namespace

// Every parsed field back to its empty value. The paths and the file date
// belong to the load, which sets them itself; the last expanded text stays
// because the caller may still hold its pointer.
void CExif::Reset()
{
    m_littleEndian = false;
    m_hasJfif = m_hasExif = false;
    m_tiffLength = 0;
    m_exifMarkerIndex = -1;
    m_ifd0LinkPos = 0;
    m_cutOffset = 0;
    for (std::string* s : {&m_imageDescription, &m_comment, &m_make, &m_model, &m_copyright, &m_subSecTime,
                           &m_exposureTime, &m_fNumber, &m_iso, &m_shutterSpeed, &m_aperture, &m_focalLength,
                           &m_focalLength35, &m_gpsLatitudeRef, &m_gpsLongitudeRef})
        s->clear();
    m_userComment.clear();
    m_exifDate = SYSTEMTIME{};
    m_gpsLatitude = m_gpsLongitude = m_gpsAltitude = 0;
    m_gpsAltitudeRef = 0;
    m_thumbWidth = m_thumbHeight = 0;
    m_orientation = 1;
    m_orientationPos = m_pixelXPos = m_pixelYPos = 0;
}

void CExif::Parse(const std::vector<CSavedMarker>& markers)
{
    Reset();
    for (size_t i = 0; i < markers.size(); ++i) {
        const CSavedMarker& m = markers[i];
        if (m.code == kApp0 && StartsWith(m.data, "JFIF", 5)) {
            m_hasJfif = true;
        } else if (m.code == JPEG_COM) {
            m_comment.assign(m.data.begin(), m.data.end());
        } else if (m.code == kApp1 && IsExifHeader(m.data)) {
            const bool first = !m_hasExif;
            m_hasExif = true;
            if (first)
                m_tiffLength = static_cast<uint32_t>(m.data.size() - kTiffStart);
            // Only the first readable EXIF block is the record's; its
            // positions are tied to its index.
            if (m_exifMarkerIndex >= 0 || m.data.size() <= 17)
                continue;
            Tiff t{m.data.data() + kTiffStart, m.data.size() - kTiffStart, false};
            if (t.p[0] == 'I' && t.p[1] == 'I')
                t.le = true;
            else if (!(t.p[0] == 'M' && t.p[1] == 'M'))
                continue;
            const uint64_t ifd0 = t.U32(4);
            if (t.U16(2) != 42 || ifd0 > t.len - 2)
                continue;
            m_exifMarkerIndex = static_cast<int>(i);
            m_tiffLength = static_cast<uint32_t>(t.len);
            m_littleEndian = t.le;
            Parser{*this, t, {}}.Run(ifd0);
        }
    }
}

// ---------------------------------------------------------------- writing

namespace {

void PutU16(uint8_t* p, uint16_t v, bool le)
{
    p[le ? 0 : 1] = static_cast<uint8_t>(v);
    p[le ? 1 : 0] = static_cast<uint8_t>(v >> 8);
}

void PutU32(uint8_t* p, uint32_t v, bool le)
{
    for (int i = 0; i < 4; ++i)
        p[le ? i : 3 - i] = static_cast<uint8_t>(v >> (8 * i));
}

void WriteBytes(j_compress_ptr cinfo, const uint8_t* p, size_t n)
{
    for (size_t i = 0; i < n; ++i)
        jpeg_write_m_byte(cinfo, p[i]);
}

} // namespace

// The marker that holds the parsed EXIF block, or null when the list no
// longer holds that block (after Close, or a different list).
static CSavedMarker* ExifBlock(const CExif& x, std::vector<CSavedMarker>& markers)
{
    if (x.m_exifMarkerIndex < 0 || static_cast<size_t>(x.m_exifMarkerIndex) >= markers.size())
        return nullptr;
    CSavedMarker& m = markers[static_cast<size_t>(x.m_exifMarkerIndex)];
    if (m.code != kApp1 || m.data.size() != static_cast<size_t>(x.m_tiffLength) + kTiffStart || !IsExifHeader(m.data))
        return nullptr;
    return &m;
}

bool CExif::SetOrientationValue(std::vector<CSavedMarker>& markers, int value)
{
    CSavedMarker* m = ExifBlock(*this, markers);
    if (!m || m_orientationPos == 0 || m->data.size() < 2 || m_orientationPos > m->data.size() - 2)
        return false;
    m_orientation = static_cast<uint16_t>(value);
    PutU16(m->data.data() + m_orientationPos, m_orientation, m_littleEndian);
    return true;
}

void CExif::WriteMarkers(std::vector<CSavedMarker>& markers, j_compress_ptr cinfo, int saveComments, int saveExif,
                         int thumbMode, const uint8_t* thumb, int thumbLength)
{
    if (!cinfo)
        return;
    // Runs inside the caller's jump context: no local here may need a destructor.
    CSavedMarker* exif = ExifBlock(*this, markers);
    if (saveExif && exif && m_pixelXPos && m_pixelYPos) {
        const size_t size = exif->data.size();
        if (size >= 12 && m_pixelXPos <= size - 12 && m_pixelYPos <= size - 12) {
            const size_t pos[2] = {m_pixelXPos, m_pixelYPos};
            const uint32_t value[2] = {cinfo->image_width, cinfo->image_height};
            for (int k = 0; k < 2; ++k) {
                uint8_t* e = exif->data.data() + pos[k];
                PutU16(e + 2, kTypeLong, m_littleEndian);
                PutU32(e + 4, 1, m_littleEndian);
                PutU32(e + 8, value[k], m_littleEndian);
            }
        }
    }

    const bool newThumb = thumbMode == 2 && thumb && thumbLength > 0;
    for (CSavedMarker& m : markers) {
        const int code = m.code;
        if (code == JPEG_COM && !saveComments)
            continue;
        if (code >= kApp1 && code <= kApp14 && !saveExif)
            continue;
        if (code == kApp0 && saveExif && m_hasExif && m.data.size() > 4 && StartsWith(m.data, "JFIF", 5))
            continue;
        if (code == kApp14 && cinfo->write_Adobe_marker && m.data.size() > 4 && StartsWith(m.data, "Adobe", 5))
            continue;
        // A multi-picture index names the pictures that follow the main one
        // in the source file; a save writes the main picture only, so the
        // index would point past the end of the new file.
        if (code == kApp2 && StartsWith(m.data, "MPF", 4))
            continue;
        if (code == kApp1 && (thumbMode == 0 || newThumb) && &m == exif
            && WriteExifWithoutThumbnail(m, cinfo, newThumb ? thumb : nullptr, newThumb ? thumbLength : 0))
            continue;
        jpeg_write_marker(cinfo, code, m.data.data(), static_cast<unsigned int>(m.data.size()));
    }
}

bool CExif::WriteExifWithoutThumbnail(const CSavedMarker& m, j_compress_ptr cinfo, const uint8_t* thumb,
                                      int thumbLength)
{
    // Only the parsed block, and only when the link lies inside the part kept;
    // anything else is written unchanged rather than cut blindly.
    const size_t size = m.data.size();
    const uint64_t n = m_cutOffset;
    const uint64_t link = m_ifd0LinkPos;
    if (n == 0 || link < kTiffStart || n + kTiffStart > size || link + 4 > n + kTiffStart)
        return false;
    const bool le = m_littleEndian;
    const uint8_t* d = m.data.data();
    uint8_t word[4];

    const uint64_t length = thumb ? n + kTiffStart + 94 + static_cast<uint64_t>(thumbLength) : n + kTiffStart;
    // Beyond 65533 bytes libjpeg raises its own error: the save fails.
    jpeg_write_m_header(cinfo, kApp1, static_cast<unsigned int>(length));
    WriteBytes(cinfo, d, static_cast<size_t>(link));
    PutU32(word, thumb ? static_cast<uint32_t>(n) : 0, le);
    WriteBytes(cinfo, word, 4);
    WriteBytes(cinfo, d + link + 4, static_cast<size_t>(n + kTiffStart - link - 4));
    if (!thumb)
        return true;

    // New IFD1 at n: six entries, a zero link, two rationals, the thumbnail.
    const uint32_t base = static_cast<uint32_t>(n);
    const struct {
        uint16_t tag, type;
        uint32_t value;
    } entries[6] = {
        {259, kTypeShort, 6},       {282, 5, base + 78},           {283, 5, base + 86},
        {296, kTypeShort, 2},       {513, kTypeLong, base + 94},   {514, kTypeLong, static_cast<uint32_t>(thumbLength)},
    };
    uint8_t ifd[94] = {};
    PutU16(ifd, 6, le);
    for (int i = 0; i < 6; ++i) {
        uint8_t* e = ifd + 2 + 12 * i;
        PutU16(e, entries[i].tag, le);
        PutU16(e + 2, entries[i].type, le);
        PutU32(e + 4, 1, le);
        if (entries[i].type == kTypeShort)
            PutU16(e + 8, static_cast<uint16_t>(entries[i].value), le);
        else
            PutU32(e + 8, entries[i].value, le);
    }
    // Link (bytes 74..77) stays zero.
    PutU32(ifd + 78, 72, le);
    PutU32(ifd + 82, 1, le);
    PutU32(ifd + 86, 72, le);
    PutU32(ifd + 90, 1, le);
    WriteBytes(cinfo, ifd, sizeof ifd);
    WriteBytes(cinfo, thumb, static_cast<size_t>(thumbLength));
    return true;
}

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
        *size = static_cast<int>(static_cast<uint32_t>(m_exif.m_thumbHeight) << 16 | m_exif.m_thumbWidth);
}
