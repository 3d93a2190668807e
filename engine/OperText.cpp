#include "OperText.h"

#include "LocaleManager.h"
#include "OperationPage.h"

namespace {

// LCID and COLORREF members are 32-bit unsigned: the int view is the same object.
int* AsInt(uint32_t* member)
{
    return reinterpret_cast<int*>(member);
}

} // namespace

COperText::COperText(CLocaleManager& locales)
    : COperation("Insert Text", "Text")
    , m_locales(locales)
{
    SetLocaleDefaults(&m_settings, m_locales);
    AddIntParam(QStringLiteral("CurTab"), &m_settings.CurTab);
    AddIntParam(QStringLiteral("LocaleEX"), AsInt(&m_settings.LocaleEX));
    AddIntParam(QStringLiteral("LocaleCT"), AsInt(&m_settings.LocaleCT));
    AddStringParam(QStringLiteral("DateFormat"), &m_settings.DateFormat);
    AddStringParam(QStringLiteral("TimeFormat"), &m_settings.TimeFormat);
    AddIntParam(QStringLiteral("UseFileTime"), &m_settings.UseFileTime);
    AddIntParam(QStringLiteral("ScaleSizes"), &m_settings.ScaleSizes);
    AddIntParam(QStringLiteral("FractionsOfSeconds"), &m_settings.FractionsOfSeconds);
    AddTextStyleParams(QStringLiteral("exif_"), m_settings.Exif);
    AddTextStyleParams(QStringLiteral("cust_"), m_settings.Custom);
}

void COperText::AddTextStyleParams(const QString& prefix, TextStyle& style)
{
    AddIntParam(prefix + QStringLiteral("Bold"), &style.Bold);
    AddIntParam(prefix + QStringLiteral("Italic"), &style.Italic);
    AddIntParam(prefix + QStringLiteral("Manual"), &style.Manual);
    AddIntParam(prefix + QStringLiteral("Use"), &style.Use);
    AddIntParam(prefix + QStringLiteral("UseBG"), &style.UseBG);
    AddIntParam(prefix + QStringLiteral("Color"), AsInt(&style.Color));
    AddIntParam(prefix + QStringLiteral("ColorBG"), AsInt(&style.ColorBG));
    AddIntParam(prefix + QStringLiteral("ColorSh"), AsInt(&style.ColorSh));
    AddIntParam(prefix + QStringLiteral("Effect"), &style.Effect);
    AddIntParam(prefix + QStringLiteral("EffWidth"), &style.EffWidth);
    AddIntParam(prefix + QStringLiteral("FontSize"), &style.FontSize);
    AddIntParam(prefix + QStringLiteral("Margin"), &style.Margin);
    AddIntParam(prefix + QStringLiteral("Opacity"), &style.Opacity);
    AddIntParam(prefix + QStringLiteral("OpacityBG"), &style.OpacityBG);
    AddIntParam(prefix + QStringLiteral("PaddingX"), &style.PaddingX);
    AddIntParam(prefix + QStringLiteral("PaddingY"), &style.PaddingY);
    AddIntParam(prefix + QStringLiteral("Placement"), &style.Placement);
    AddStringParam(prefix + QStringLiteral("Font"), &style.Font);
    AddStringParam(prefix + QStringLiteral("Name1"), &style.Name1);
    AddStringParam(prefix + QStringLiteral("Name2"), &style.Name2);
    AddStringParam(prefix + QStringLiteral("Name3"), &style.Name3);
    AddStringParam(prefix + QStringLiteral("Template"), &style.Template);
}

void COperText::UpdatePage()
{
    if (m_pPage)
        m_pPage->BindParams(&m_settings);
}

IAction* COperText::CreateAction(CKsImage* /*image*/, int* /*stopFlag*/)
{
    return new CActionText(m_settings);
}
