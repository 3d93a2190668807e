#include "LocaleManager.h"
#include "TextSettings.h"

#include "platform/DateFormat.h"
#include "platform/Locale.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace {

constexpr LCID kGerman = 0x0407;
constexpr LCID kEnglishUS = 0x0409;
constexpr LCID kFrenchCanada = 0x0C0C;

QStringList Expected(const std::vector<std::u16string>& a, const std::vector<std::u16string>& b = {})
{
    QStringList list;
    for (const auto* v : {&a, &b})
        for (const auto& s : *v)
            list.append(QString::fromUtf16(s.data(), static_cast<qsizetype>(s.size())));
    return list;
}

TEST(LocaleManager, RemoveSecondsKeepsQuotedTextAndDropsTheUnit)
{
    const struct {
        const char* in;
        const char* out;
    } cases[] = {
        {"HH:mm:ss", "HH:mm"},
        {"h:mm:ss tt", "h:mm tt"},
        {"HH 'h' mm 'min' ss 's'", "HH 'h' mm 'min'"},
        {"H.mm.ss", "H.mm"},
        {"HH 'uses' mm", "HH 'uses' mm"},      // quoted s is text
        {"HH:mm", "HH:mm"},                    // nothing to remove
        {"tt h:mm:ss", "tt h:mm"},
        {"HH'h'mm'm'ss's'", "HH'h'mm"},        // a quoted separator goes whole
        {"ss", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CLocaleManager::RemoveSeconds(QString::fromUtf8(c.in)), QString::fromUtf8(c.out)) << c.in;
}

TEST(LocaleManager, SecondsFreeVariantsGoFirstOnlyWhenNew)
{
    EXPECT_EQ(CLocaleManager::AddSecondsFreeVariants({"HH:mm:ss"}), QStringList({"HH:mm", "HH:mm:ss"}));
    EXPECT_EQ(CLocaleManager::AddSecondsFreeVariants({"HH:mm", "HH:mm:ss"}), QStringList({"HH:mm", "HH:mm:ss"}));
    EXPECT_EQ(CLocaleManager::AddSecondsFreeVariants({"h:mm:ss tt", "H:mm:ss", "HH:mm:ss"}),
              QStringList({"h:mm tt", "H:mm", "HH:mm", "h:mm:ss tt", "H:mm:ss", "HH:mm:ss"}));
}

TEST(LocaleManager, TimeFormatsOfRealLocales)
{
    CLocaleManager manager;
    const QStringList german = manager.GetTimeFormats(kGerman);
    ASSERT_GE(german.size(), 2);
    EXPECT_EQ(german[0], "HH:mm");
    EXPECT_EQ(german[1], "HH:mm:ss");
    ASSERT_FALSE(manager.GetTimeFormats(kEnglishUS).isEmpty());
    EXPECT_EQ(manager.GetTimeFormats(kEnglishUS)[0], "h:mm tt");
    const QStringList french = manager.GetTimeFormats(kFrenchCanada);
    const QStringList enumerated = Expected(EnumTimeFormats(kFrenchCanada));
    // Every enumerated picture stays, after its seconds-free variants.
    ASSERT_GE(french.size(), enumerated.size());
    EXPECT_EQ(french.mid(french.size() - enumerated.size()), enumerated);
    ASSERT_EQ(enumerated, QStringList({"HH 'h' mm 'min' ss 's'"}));
    EXPECT_EQ(french, QStringList({"HH 'h' mm 'min'", "HH 'h' mm 'min' ss 's'"}));
    for (const QString& f : french)
        EXPECT_EQ(f.count(u'\'') % 2, 0) << f.toStdString();
}

TEST(LocaleManager, DateFormatsHoldOnlyTheLastLocaleShortFirst)
{
    CLocaleManager manager;
    manager.GetDateFormats(kGerman);
    const QStringList& us = manager.GetDateFormats(kEnglishUS);
    EXPECT_EQ(us, Expected(EnumDateFormats(kEnglishUS, DATE_SHORTDATE), EnumDateFormats(kEnglishUS, DATE_LONGDATE)));
    EXPECT_FALSE(us.contains("dd.MM.yyyy"));
}

TEST(LocaleManager, UnknownIdsGiveUsableAnswers)
{
    CLocaleManager manager;
    EXPECT_EQ(manager.GetCountryName(kGerman), "Germany");
    EXPECT_EQ(manager.GetCharset(0x0419), 204); // Russian
    const LCID unknown = 0x7FFF;
    ASSERT_TRUE(LocaleNameFromLcid(unknown).empty());
    EXPECT_TRUE(manager.GetLanguageName(unknown).isEmpty());
    EXPECT_TRUE(manager.GetCountryName(unknown).isEmpty());
    EXPECT_EQ(manager.GetAnsiCodePage(unknown), 0);
    EXPECT_EQ(manager.GetCharset(unknown), DEFAULT_CHARSET);
}

TEST(LocaleManager, SystemAndKeyboardLocales)
{
    CLocaleManager manager;
    const auto& system = manager.GetSystemLocales();
    for (const uint32_t id : {0x0407u, 0x0409u, 0x0411u})
        EXPECT_EQ(std::count(system.begin(), system.end(), id), 1) << std::hex << id;
    for (const uint32_t id : system)
        EXPECT_EQ(id >> 16, 0u);
    ASSERT_EQ(manager.GetKeyboardLocales().size(), 1u);
    EXPECT_NE(manager.GetKeyboardLocales()[0], 0u);
    EXPECT_FALSE(manager.GetLanguageName(manager.GetKeyboardLocales()[0]).isEmpty());
}

TEST(LocaleManager, TextDefaultsComeFromTheSystemLocale)
{
    CLocaleManager manager;
    TextSettings settings;
    SetLocaleDefaults(&settings, manager);
    const LCID id = GetSystemDefaultLCID();
    EXPECT_EQ(settings.LocaleEX, id);
    EXPECT_EQ(settings.LocaleCT, id);
    EXPECT_EQ(settings.CodePage, manager.GetAnsiCodePage(id));
    EXPECT_EQ(settings.DateFormat, manager.GetDateFormats(id).value(0));
    EXPECT_EQ(settings.TimeFormat, manager.GetTimeFormats(id).value(0));
    EXPECT_EQ(settings.Exif.Template, "%d");
    EXPECT_EQ(settings.Custom.Placement, 7);
    EXPECT_EQ(settings.Custom.Use, 0);
}

} // namespace
