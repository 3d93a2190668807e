#include "SettingsDlg.h"

#include "DialogHost.h"
#include "Profile.h"

#include <QWidget>

namespace {

void RefreshView(bool resetSelection)
{
    if (const DialogHost& host = TheDialogHost(); host.refreshView)
        host.refreshView(resetSelection);
}

// The browser lists the folder anew for any change that shows in a rendered
// thumbnail; the spacing alone needs only new icon spacing.
bool NeedsReload(const CAppSettings& a, const CAppSettings& b)
{
    return a.ThumbWidth != b.ThumbWidth || a.BackgroundColor != b.BackgroundColor
        || a.ShowThumbFilename != b.ShowThumbFilename || a.ThumbBorder != b.ThumbBorder
        || a.ThumbShadow != b.ThumbShadow;
}

} // namespace

SettingsBrowserHooks& SettingsBrowser()
{
    static SettingsBrowserHooks hooks;
    return hooks;
}

CSettingsDlg::CSettingsDlg(CAppSettings* settings, QWidget* parent)
    : CPropertySheet(QStringLiteral("Preferences"), parent)
    , m_pSettings(settings)
{
    AddPage(&m_pageView);
    AddPage(&m_pageDefaults);
}

bool CSettingsDlg::OnInitDialog()
{
    CPropertySheet::OnInitDialog();
    // "Defaults" gets its window only when first shown: open with room for
    // most of its editors; a larger one grows the window when shown.
    if (QWidget* window = GetSafeHwnd())
        window->resize(window->sizeHint().expandedTo(QSize(780, 540)));
    m_working = *m_pSettings;
    const int tab = m_working.CurrentTab;
    SetActivePage(tab >= 0 && tab < GetPageCount() ? tab : 0);
    CSettingsViewDlg::SetSettingsAll(&m_working);
    return true;
}

bool CSettingsDlg::OnApplyNow()
{
    CSettingsViewDlg::StoreSettingsAll();
    const bool reload = NeedsReload(*m_pSettings, m_working);
    *m_pSettings = m_working;
    m_pSettings->Save();
    m_pageDefaults.ApplyToOperations();

    const SettingsBrowserHooks& browser = SettingsBrowser();
    const CAppSettings& s = *m_pSettings;
    if (reload) {
        if (browser.showFolder)
            browser.showFolder(TheDialogHost().currentFolder ? TheDialogHost().currentFolder() : QString());
    } else if (browser.setIconSpacing) {
        const int label = s.ShowThumbFilename ? s.GetThumbLabelHeight(1) : 0;
        browser.setIconSpacing(s.ThumbWidth + s.ThumbSpace, s.ThumbWidth + s.ThumbSpace + label);
    }
    RefreshView(true);
    SetModified(false);
    return true;
}

void CSettingsDlg::OnOKCommand()
{
    ApplyAndClose();
}

void CSettingsDlg::ApplyAndClose()
{
    OnApplyNow();
    CProfile::Flush();
    EndDialog(IDOK);
}

void CSettingsDlg::OnDestroy()
{
    CPropertySheet::OnDestroy();
    m_pSettings->CurrentTab = GetActiveIndex();
    RefreshView(false);
}
