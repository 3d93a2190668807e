// Windows locale ids (LCID) and the locale facts the program asks of them,
// answered from ICU's own data, so nothing depends on the locales installed
// on the system. Safe to call from any thread (no shared mutable state).
#pragma once

#include "platform/Com.h"

#include <string>
#include <vector>

constexpr LCID LOCALE_INVARIANT = 0x007F;
constexpr LCID LOCALE_USER_DEFAULT = 0x0400;
constexpr LCID LOCALE_SYSTEM_DEFAULT = 0x0800;

// GDI character sets (font charset numbers).
constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;

// The ICU locale name of a Windows locale id ("de_DE" for 0x0407). The
// default ids give ICU's default locale, the invariant id "en_US_POSIX".
// Empty when ICU does not know the id.
std::string LocaleNameFromLcid(LCID locale);
// The Windows locale id of an ICU or BCP 47 locale name ("ru_RU", "ja-JP");
// 0 when it has none.
LCID LcidFromLocaleName(const std::string& name);
// The id of ICU's default locale (from LC_ALL, LC_MESSAGES or LANG). The C
// and POSIX locales (ICU's en_US_POSIX, the invariant id) and locales without
// an id give en-US, 0x0409.
LCID GetSystemDefaultLCID();

// English names of the locale's language and country ("German", "Germany");
// empty when the id is unknown or the locale names no country.
std::u16string GetLocaleEnglishLanguageName(LCID locale);
std::u16string GetLocaleEnglishCountryName(LCID locale);

// The locale's default ANSI code page (1252, 1251, 932, ...); 0 for unknown
// ids and for locales that have only Unicode.
int GetLocaleAnsiCodePage(LCID locale);
// The GDI character set of an ANSI code page; DEFAULT_CHARSET when there is none.
int CharsetFromCodePage(int codePage);

// Every specific locale (language and country) ICU carries that has a
// Windows locale id, each once, in ICU's order.
std::vector<LCID> EnumSystemLocales();
