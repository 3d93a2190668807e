// EXIF text placeholders: "%"-codes in a template expanded from the EXIF
// record (its texts are made by the parser in Exif.cpp), the file names and
// the date of shooting or of the file.
//
// Invariants: the result lives in CExif::m_lastText and stays valid until the
// next expansion; its length is bounded (kMaxTextLength) whatever the
// template; numbers are written without the C library's locale, so a
// program that set LC_NUMERIC still gets "48°51.396'".
#include "DllImage.h"

#include "platform/DateFormat.h"
#include "platform/Utf.h"

#include <charconv>
#include <cmath>

namespace {

// Far more than any text drawn on a photo, far less than memory: a template
// repeating a 64 KB comment code cannot run away.
constexpr size_t kMaxTextLength = size_t{1} << 20;
// The platform's date and time calls write into buffers of this size.
constexpr int kDateBufferLength = 260;

// EXIF texts are meant to be ASCII, but cameras and tools write UTF-8;
// anything else is taken as Latin-1, one byte to one character. The parser
// already cut each text at its terminating zero.
bool IsUtf8(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t n;
        char32_t cp;
        if (b < 0x80) {
            ++i;
            continue;
        } else if (b >= 0xC2 && b <= 0xDF) {
            n = 1, cp = b & 0x1F;
        } else if (b >= 0xE0 && b <= 0xEF) {
            n = 2, cp = b & 0x0F;
        } else if (b >= 0xF0 && b <= 0xF4) {
            n = 3, cp = b & 0x07;
        } else {
            return false;
        }
        if (i + n >= s.size())
            return false;
        for (size_t k = 1; k <= n; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (c & 0x3F);
        }
        if ((n == 2 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) || (n == 3 && (cp < 0x10000 || cp > 0x10FFFF)))
            return false;
        i += n + 1;
    }
    return true;
}

std::u16string Widen(std::string_view s)
{
    s = s.substr(0, s.find('\0'));
    if (IsUtf8(s))
        return Utf8ToUtf16(s);
    std::u16string out;
    out.reserve(s.size());
    for (char c : s)
        out += static_cast<char16_t>(static_cast<unsigned char>(c));
    return out;
}

// Last component of a path. Only "/" separates folders here: a backslash or
// a colon is an ordinary character of a file name.
std::u16string_view FileName(std::u16string_view path)
{
    const size_t cut = path.rfind(u'/');
    return cut == std::u16string_view::npos ? path : path.substr(cut + 1);
}

std::u16string_view WithoutExtension(std::u16string_view name)
{
    const size_t dot = name.rfind(u'.');
    return dot == std::u16string_view::npos ? name : name.substr(0, dot);
}

void AppendFixed(std::u16string& out, double value, int decimals)
{
    if (!std::isfinite(value))
        value = 0;
    char buf[400];
    const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
    if (r.ec != std::errc())
        return;
    out.append(buf, r.ptr);
}

// "N 48°51.396'": reference, whole degrees, minutes with three decimals.
void AppendGpsCoordinate(std::u16string& out, const std::string& ref, double value)
{
    if (!std::isfinite(value))
        value = 0;
    std::string r = ref;
    std::erase(r, '\0'); // a two-byte "N\0" reference keeps the space after it
    out += Widen(r);
    const double degrees = std::floor(value);
    AppendFixed(out, degrees, 0);
    out += u'\u00B0';
    AppendFixed(out, (value - degrees) * 60.0, 3);
    out += u'\'';
}

// A date that names no moment: the all-zero date of a memory load, and the
// date a zero file time converts to (a file system without creation times).
bool IsUsableDate(const SYSTEMTIME& d)
{
    if (d.wYear == 0)
        return false;
    return !(d.wYear == 1601 && d.wMonth == 1 && d.wDay == 1 && d.wHour == 0 && d.wMinute == 0 && d.wSecond == 0 &&
             d.wMilliseconds == 0);
}

// The time picture with "." and the sub-second digits placed right after
// its last seconds field (outside quoted text), themselves quoted so that
// nothing in them is read as a picture letter.
std::u16string WithFractions(std::u16string_view picture, std::u16string_view fraction)
{
    size_t last = std::u16string_view::npos;
    bool quoted = false;
    for (size_t i = 0; i < picture.size(); ++i) {
        if (picture[i] == u'\'')
            quoted = !quoted; // '' toggles twice: still right
        else if (!quoted && picture[i] == u's')
            last = i;
    }
    if (last == std::u16string_view::npos)
        return std::u16string(picture);
    std::u16string literal = u"'.";
    for (char16_t c : fraction) {
        literal += c;
        if (c == u'\'')
            literal += c;
    }
    literal += u'\'';
    std::u16string out(picture.substr(0, last + 1));
    out += literal;
    out.append(picture.substr(last + 1));
    return out;
}

} // namespace

const std::u16string& CExif::FormatText(std::u16string_view textTemplate, int useFileTime, LCID locale,
                                        std::u16string_view dateFormat, std::u16string_view timeFormat,
                                        int fractionsOfSeconds)
{
    const bool haveExifDate = m_exifDate.wYear != 0;
    const SYSTEMTIME& date = haveExifDate ? m_exifDate : m_fileDate;
    const bool dateWanted = (haveExifDate || useFileTime) && IsUsableDate(date);

    std::u16string& out = m_lastText;
    out.clear();
    // A long text from an earlier call need not stay allocated.
    if (out.capacity() > 4096 && textTemplate.size() < 1024)
        out.shrink_to_fit();

    auto formatDate = [&](bool time) {
        if (!dateWanted)
            return;
        char16_t buf[kDateBufferLength];
        int written;
        if (time) {
            std::u16string picture(timeFormat);
            std::u16string fraction = Widen(m_subSecTime);
            while (!fraction.empty() && fraction.back() == u' ')
                fraction.pop_back();
            if (fractionsOfSeconds && !fraction.empty())
                picture = WithFractions(timeFormat, fraction);
            written = GetTimeFormatW(locale, 0, &date, picture.c_str(), buf, kDateBufferLength);
        } else {
            written = GetDateFormatW(locale, 0, &date, std::u16string(dateFormat).c_str(), buf, kDateBufferLength);
        }
        if (written > 0)
            out.append(buf, static_cast<size_t>(written - 1));
    };

    const size_t n = textTemplate.size();
    for (size_t i = 0; i < n && out.size() < kMaxTextLength;) {
        const char16_t c = textTemplate[i];
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 >= n)
            break; // a closing "%" is dropped
        const char16_t code = textTemplate[i + 1];
        if (code == u'G') {
            if (n - i < 4) {
                i += 2; // "%G" with fewer than two characters after it: only "%G" vanishes
                continue;
            }
            const std::u16string_view which = textTemplate.substr(i + 2, 2);
            if (which == u"Lt")
                AppendGpsCoordinate(out, m_gpsLatitudeRef, m_gpsLatitude);
            else if (which == u"Lg")
                AppendGpsCoordinate(out, m_gpsLongitudeRef, m_gpsLongitude);
            else if (which == u"Al") {
                if (m_gpsAltitudeRef == 1)
                    out += u'-';
                AppendFixed(out, m_gpsAltitude, 0);
                out += u'm';
            }
            i += 4;
            continue;
        }
        switch (code) {
        case u'%': out += u'%'; break;
        case u'C': out += u'\u00A9'; break;
        case u'D': out += Widen(m_imageDescription); break;
        case u'M': out += Widen(m_make); break;
        case u'm': out += Widen(m_model); break;
        case u'r': out += Widen(m_copyright); break;
        case u'c': out += Widen(m_comment); break;
        case u'u': {
            std::u16string_view text(m_userComment);
            text = text.substr(0, text.find(u'\0'));
            // Cameras pad an unused user comment with spaces.
            const size_t end = text.find_last_not_of(u' ');
            out.append(text.substr(0, end == std::u16string_view::npos ? 0 : end + 1));
            break;
        }
        case u'e': out += Widen(m_exposureTime.empty() ? m_shutterSpeed : m_exposureTime); break;
        case u'f': out += Widen(m_fNumber.empty() ? m_aperture : m_fNumber); break;
        case u'i': out += Widen(m_iso); break;
        case u'l': out += Widen(m_focalLength); break;
        case u'L': out += Widen(m_focalLength35); break;
        case u'd': formatDate(false); break;
        case u't': formatDate(true); break;
        case u'v': out += FileName(m_sourcePath); break;
        case u'V': out += WithoutExtension(FileName(m_sourcePath)); break;
        case u'w': out += FileName(m_currentPath); break;
        case u'W': out += WithoutExtension(FileName(m_currentPath)); break;
        default: break; // unknown codes vanish with their character
        }
        i += 2;
    }

    if (out.size() > kMaxTextLength) {
        out.resize(kMaxTextLength);
        if ((out.back() & 0xFC00) == 0xD800) // never end on half a surrogate pair
            out.pop_back();
    }
    return out;
}

const char16_t* CDllImage::FormatExifText(BSTR textTemplate, int useFileTime, LCID locale, BSTR dateFormat,
                                          BSTR timeFormat, int fractionsOfSeconds)
{
    auto view = [](BSTR s) { return s ? std::u16string_view(s) : std::u16string_view(); };
    try {
        return m_exif
            .FormatText(view(textTemplate), useFileTime, locale, view(dateFormat), view(timeFormat),
                        fractionsOfSeconds)
            .c_str();
    } catch (...) {
        m_exif.m_lastText.clear();
        return m_exif.m_lastText.c_str();
    }
}
