#include "TextSettings.h"

#include "LocaleManager.h"

void SetLocaleDefaults(TextSettings* settings, CLocaleManager& locales)
{
    if (!settings)
        return;
    settings->LocaleEX = settings->LocaleCT = GetSystemDefaultLCID();
    settings->CodePage = locales.GetAnsiCodePage(settings->LocaleEX);
    const QStringList& dates = locales.GetDateFormats(settings->LocaleEX);
    settings->DateFormat = dates.isEmpty() ? QString() : dates.first();
    const QStringList& times = locales.GetTimeFormats(settings->LocaleEX);
    settings->TimeFormat = times.isEmpty() ? QString() : times.first();
}
