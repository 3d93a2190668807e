// Windows locale ids through ICU.
#include "platform/Locale.h"
#include "platform/Utf.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

TEST(Locale, IdsNamesAndCodePages)
{
    struct Row {
        LCID id;
        const char* icuName;
        const char16_t *language, *country;
        int codePage, charset;
    };
    const Row rows[] = {
        {0x0409, "en_US", u"English", u"United States", 1252, 0},
        {0x0407, "de_DE", u"German", u"Germany", 1252, 0},
        {0x040C, "fr_FR", u"French", u"France", 1252, 0},
        {0x0419, "ru_RU", u"Russian", u"Russia", 1251, 204},
        {0x0411, "ja_JP", u"Japanese", u"Japan", 932, 128},
        {0x0415, "pl_PL", u"Polish", u"Poland", 1250, 238},
        {0x0408, "el_GR", u"Greek", u"Greece", 1253, 161},
        {0x041F, "tr_TR", u"Turkish", u"Turkey", 1254, 162},
        {0x0804, "zh_CN", u"Chinese", u"China", 936, 134},
        {0x0404, "zh_Hant_TW", u"Chinese", u"Taiwan", 950, 136},
        {0x0439, "hi_IN", u"Hindi", u"India", 0, DEFAULT_CHARSET},
    };
    for (const auto& r : rows) {
        SCOPED_TRACE(r.icuName);
        EXPECT_EQ(LocaleNameFromLcid(r.id), r.icuName);
        EXPECT_EQ(LcidFromLocaleName(r.icuName), r.id);
        EXPECT_EQ(GetLocaleEnglishLanguageName(r.id), r.language);
        EXPECT_EQ(GetLocaleEnglishCountryName(r.id), r.country);
        EXPECT_EQ(GetLocaleAnsiCodePage(r.id), r.codePage);
        EXPECT_EQ(CharsetFromCodePage(GetLocaleAnsiCodePage(r.id)), r.charset);
    }
    EXPECT_EQ(LcidFromLocaleName("de-DE"), 0x0407u);
    EXPECT_EQ(LcidFromLocaleName(""), 0u);
}

TEST(Locale, UnknownAndSpecialIds)
{
    for (LCID id : {LCID{0x1234}, LCID{0xFFFFFFFF}}) {
        EXPECT_EQ(LocaleNameFromLcid(id), "");
        EXPECT_EQ(GetLocaleEnglishLanguageName(id), u"");
        EXPECT_EQ(GetLocaleEnglishCountryName(id), u"");
        EXPECT_EQ(GetLocaleAnsiCodePage(id), 0);
    }
    EXPECT_EQ(CharsetFromCodePage(0), DEFAULT_CHARSET);
    EXPECT_FALSE(LocaleNameFromLcid(LOCALE_USER_DEFAULT).empty());
    EXPECT_FALSE(LocaleNameFromLcid(LOCALE_SYSTEM_DEFAULT).empty());
    EXPECT_EQ(GetLocaleEnglishLanguageName(LOCALE_INVARIANT), u"English");
    // A neutral language id names the language without a country.
    EXPECT_EQ(GetLocaleEnglishLanguageName(0x0007), u"German");
    EXPECT_EQ(GetLocaleEnglishCountryName(0x0007), u"");
}

TEST(Locale, SystemLocalesAreSpecificAndUnique)
{
    const std::vector<LCID> ids = EnumSystemLocales();
    EXPECT_GT(ids.size(), 100u);
    EXPECT_EQ(std::set<LCID>(ids.begin(), ids.end()).size(), ids.size());
    for (LCID want : {0x0409u, 0x0407u, 0x040Cu, 0x0419u, 0x0411u})
        EXPECT_NE(std::find(ids.begin(), ids.end(), want), ids.end()) << std::hex << want;
    for (LCID id : ids)
        EXPECT_FALSE(GetLocaleEnglishCountryName(id).empty()) << std::hex << id;
}
