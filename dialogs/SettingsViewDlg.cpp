#include "SettingsViewDlg.h"

std::set<CSettingsViewDlg*> g_settingsPages;

CSettingsViewDlg::CSettingsViewDlg(int templateId, const QString& caption)
    : CPropertyPage(templateId, caption)
{
    g_settingsPages.insert(this);
}

CSettingsViewDlg::~CSettingsViewDlg()
{
    g_settingsPages.erase(this);
}

void CSettingsViewDlg::SetSettings(CAppSettings* settings)
{
    m_pSettings = settings;
    SetModified(true);
    LoadSettings();
}

void CSettingsViewDlg::SetSettingsAll(CAppSettings* settings)
{
    for (CSettingsViewDlg* page : g_settingsPages)
        page->SetSettings(settings);
}

void CSettingsViewDlg::StoreSettingsAll()
{
    for (CSettingsViewDlg* page : g_settingsPages)
        if (page->m_pSettings)
            page->StoreSettings();
}
