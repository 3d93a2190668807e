// Windows locale ids through ICU. ICU carries its own locale data, so these
// answers do not depend on the locales installed on the system.
#include "platform/Locale.h"

#include <unicode/uloc.h>

#include <algorithm>
#include <cstring>
#include <string_view>

namespace {

std::string DefaultLocaleName()
{
    const char* name = uloc_getDefault();
    return name ? std::string(name) : std::string("en_US");
}

std::string IcuLocaleForLcid(LCID id)
{
    char buf[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = uloc_getLocaleForLCID(id, buf, static_cast<int32_t>(sizeof buf), &status);
    if (U_FAILURE(status) || status == U_STRING_NOT_TERMINATED_WARNING || length <= 0)
        return {};
    return std::string(buf, static_cast<size_t>(length));
}

using NameGetter = int32_t (*)(const char*, const char*, UChar*, int32_t, UErrorCode*);

std::u16string EnglishName(LCID locale, NameGetter getter)
{
    const std::string name = LocaleNameFromLcid(locale);
    if (name.empty())
        return {};
    UChar buf[160] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = getter(name.c_str(), "en", buf, 160, &status);
    if (U_FAILURE(status) || length <= 0 || length > 160)
        return {};
    return std::u16string(buf, static_cast<size_t>(length));
}

std::string Part(const std::string& name, int32_t (*getter)(const char*, char*, int32_t, UErrorCode*))
{
    char buf[ULOC_FULLNAME_CAPACITY] = {};
    UErrorCode status = U_ZERO_ERROR;
    const int32_t length = getter(name.c_str(), buf, static_cast<int32_t>(sizeof buf), &status);
    if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof buf))
        return {};
    return std::string(buf, static_cast<size_t>(length));
}

bool In(std::string_view code, std::initializer_list<std::string_view> list)
{
    return std::find(list.begin(), list.end(), code) != list.end();
}

} // namespace

std::string LocaleNameFromLcid(LCID locale)
{
    if (locale == 0 || locale == LOCALE_USER_DEFAULT || locale == LOCALE_SYSTEM_DEFAULT)
        return DefaultLocaleName();
    if (locale == LOCALE_INVARIANT)
        return "en_US_POSIX";
    std::string name = IcuLocaleForLcid(locale);
    // Ids with a sort order ICU does not know still name their language.
    if (name.empty() && (locale >> 16) != 0)
        name = IcuLocaleForLcid(locale & 0xFFFF);
    return name;
}

LCID LcidFromLocaleName(const std::string& name)
{
    if (name.empty())
        return 0;
    std::string icuName = name;
    if (name.find('-') != std::string::npos) {
        char buf[ULOC_FULLNAME_CAPACITY] = {};
        UErrorCode status = U_ZERO_ERROR;
        int32_t parsed = 0;
        const int32_t length =
            uloc_forLanguageTag(name.c_str(), buf, static_cast<int32_t>(sizeof buf), &parsed, &status);
        if (U_FAILURE(status) || length <= 0 || length >= static_cast<int32_t>(sizeof buf))
            return 0;
        icuName.assign(buf, static_cast<size_t>(length));
    }
    return uloc_getLCID(icuName.c_str());
}

LCID GetSystemDefaultLCID()
{
    const LCID id = uloc_getLCID(DefaultLocaleName().c_str());
    return id == 0 || id == LOCALE_INVARIANT ? 0x0409 : id;
}

std::u16string GetLocaleEnglishLanguageName(LCID locale) { return EnglishName(locale, uloc_getDisplayLanguage); }

std::u16string GetLocaleEnglishCountryName(LCID locale) { return EnglishName(locale, uloc_getDisplayCountry); }

int GetLocaleAnsiCodePage(LCID locale)
{
    const std::string name = LocaleNameFromLcid(locale);
    if (name.empty())
        return 0;
    const std::string lang = Part(name, uloc_getLanguage);
    const std::string script = Part(name, uloc_getScript);
    const std::string country = Part(name, uloc_getCountry);

    if (lang == "zh") {
        if (script == "Hant" || In(country, {"TW", "HK", "MO"}))
            return script == "Hans" ? 936 : 950;
        return 936;
    }
    if (lang == "sr" || lang == "bs")
        return script == "Cyrl" || (lang == "sr" && script.empty()) ? 1251 : 1250;
    if (lang == "uz" || lang == "az")
        return script == "Cyrl" ? 1251 : 1254;
    if (In(lang, {"cs", "pl", "hu", "sk", "sl", "hr", "ro", "sq", "tk"}))
        return 1250;
    if (In(lang, {"ru", "uk", "be", "bg", "mk", "kk", "ky", "mn", "tt", "ba", "sah", "tg"}))
        return 1251;
    if (lang == "el")
        return 1253;
    if (lang == "tr")
        return 1254;
    if (lang == "he" || lang == "iw" || lang == "yi")
        return 1255;
    if (In(lang, {"ar", "fa", "ur", "ug", "ku", "sd"}))
        return 1256;
    if (In(lang, {"et", "lv", "lt"}))
        return 1257;
    if (lang == "vi")
        return 1258;
    if (lang == "th")
        return 874;
    if (lang == "ja")
        return 932;
    if (lang == "ko")
        return 949;
    if (In(lang, {"af", "br", "ca", "co", "cy", "da", "de", "en", "es", "eu", "fi", "fil", "fo", "fr", "fy", "ga",
                  "gd", "gl", "id", "is", "it", "kl", "lb", "ms", "nb", "nl", "nn", "no", "oc", "pt", "qu", "rm",
                  "rw", "se", "smn", "sv", "sw", "tn", "wo", "xh", "zu", "ha", "ig", "yo", "ast", "gsw", "ia"}))
        return 1252;
    return 0; // Unicode-only locale
}

int CharsetFromCodePage(int codePage)
{
    switch (codePage) {
    case 1252: return ANSI_CHARSET;
    case 1250: return 238; // EASTEUROPE_CHARSET
    case 1251: return 204; // RUSSIAN_CHARSET
    case 1253: return 161; // GREEK_CHARSET
    case 1254: return 162; // TURKISH_CHARSET
    case 1255: return 177; // HEBREW_CHARSET
    case 1256: return 178; // ARABIC_CHARSET
    case 1257: return 186; // BALTIC_CHARSET
    case 1258: return 163; // VIETNAMESE_CHARSET
    case 874: return 222;  // THAI_CHARSET
    case 932: return 128;  // SHIFTJIS_CHARSET
    case 936: return 134;  // GB2312_CHARSET
    case 949: return 129;  // HANGUL_CHARSET
    case 950: return 136;  // CHINESEBIG5_CHARSET
    default: return DEFAULT_CHARSET;
    }
}

std::vector<LCID> EnumSystemLocales()
{
    std::vector<LCID> ids;
    const int32_t count = uloc_countAvailable();
    for (int32_t i = 0; i < count; ++i) {
        const char* name = uloc_getAvailable(i);
        if (!name || Part(name, uloc_getCountry).empty())
            continue;
        const LCID id = uloc_getLCID(name);
        // Regions such as "001" (world) and some scripts map to neutral ids.
        if (id != 0 && !Part(LocaleNameFromLcid(id), uloc_getCountry).empty() &&
            std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    }
    return ids;
}
