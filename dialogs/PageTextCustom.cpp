#include "PageTextCustom.h"

#include "LocaleManager.h"
#include "DialogHost.h"
#include "LocaleManager.h"
#include "TextSettings.h"

namespace {

constexpr CPageTextStyle::Ids kIds = {
    1018, 1017, 1042, 1044, 1045, 1019, 1020, 1023, 1021, 1024, 1054, 1048,
    1053, 1056, 1061, 1062, 1065, 1066, 1068, 1069, 1108, 1070, 1071,
};

} // namespace

CPageTextCustom::CPageTextCustom()
    : CPageTextStyle(kTemplateId, kIds, "Custom Text")
{
}

TextStyle* CPageTextCustom::Style() const
{
    return &m_pSettings->Custom;
}

int CPageTextCustom::FontCharset() const
{
    const DialogHost& host = TheDialogHost();
    CLocaleManager* locales = host.locales ? host.locales() : nullptr;
    return locales ? locales->GetCharset(m_pSettings->LocaleCT) : DEFAULT_CHARSET;
}
