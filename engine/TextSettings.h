// The parameters of a text insert: one TextStyle for the EXIF block (lines
// of EXIF placeholders) and one for the custom block, and what both share.
// Colours are COLORREF values (0x00BBGGRR). The text operation stores the
// styles under the key prefixes "exif_" and "cust_".
#pragma once

#include "platform/Com.h"
#include "platform/Locale.h"

#include <QString>

#include <cstdint>

class CLocaleManager;

// One block of text. The defaults are the EXIF block's; CustomTextStyle()
// gives the custom block's.
struct TextStyle {
    int Use = 1;
    QString Name1 = QStringLiteral("Date");
    QString Name2;
    QString Name3;
    int Manual = 0;
    QString Template = QStringLiteral("%d"); // lines separated by CR LF (or LF)
    int Bold = 1;
    int Italic = 0;
    uint32_t Color = 16734810; // red 90, green 90, blue 255
    int Placement = 8;         // 0..8, row by row from the top left
    int Opacity = 100;         // percent
    QString Font = QStringLiteral("Arial");
    int FontSize = 32;
    int UseBG = 0;
    uint32_t ColorBG = 0;
    int OpacityBG = 25;
    int Effect = 0; // 0 none, 1 shadow, 2 outline, 3 emboss, 4 engrave, 5 coloured relief
    int EffWidth = 1;
    uint32_t ColorSh = 0;
    int Margin = 5;
    int PaddingX = 10;
    int PaddingY = 10;
};

inline TextStyle CustomTextStyle()
{
    TextStyle style;
    style.Use = 0;
    style.Name1.clear();
    style.Template.clear();
    style.Placement = 7;
    return style;
}

struct TextSettings {
    LCID LocaleEX = GetSystemDefaultLCID();
    LCID LocaleCT = GetSystemDefaultLCID();
    int CodePage = 0; // the ANSI code page of LocaleEX; not stored
    QString DateFormat;
    QString TimeFormat;
    int UseFileTime = 1;
    int FractionsOfSeconds = 0;
    int ScaleSizes = 1; // sizes are relative to a 1600 x 1200 picture
    TextStyle Exif;
    TextStyle Custom = CustomTextStyle();
    int CurTab = 0;
};

// The locale-dependent defaults, from the system default locale: both
// locales, LocaleEX's code page, and its first date and time pictures (empty
// when it has none).
void SetLocaleDefaults(TextSettings* settings, CLocaleManager& locales);
