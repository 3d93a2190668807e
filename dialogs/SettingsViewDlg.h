// CSettingsViewDlg: the base of the Preferences pages. Each page is bound to
// one CAppSettings record (the sheet's working copy) and loads or stores its
// controls on request. Every live page is listed in g_settingsPages, so the
// sheet reaches all of them at once.
#pragma once

#include "PropertySheet.h"

#include <set>

class CAppSettings;

class CSettingsViewDlg : public CPropertyPage {
    Q_OBJECT
public:
    CSettingsViewDlg(int templateId, const QString& caption);
    ~CSettingsViewDlg() override;

    // Binds the page, enables the sheet's Apply, then LoadSettings.
    void SetSettings(CAppSettings* settings);
    CAppSettings* GetSettings() const { return m_pSettings; }

    // SetSettings on every live page, in set order.
    static void SetSettingsAll(CAppSettings* settings);
    // StoreSettings on every live page that is bound.
    static void StoreSettingsAll();

    // Fill the controls from the bound record / write them into it.
    virtual void LoadSettings() {}
    virtual void StoreSettings() {}

protected:
    CAppSettings* m_pSettings = nullptr;
};

extern std::set<CSettingsViewDlg*> g_settingsPages;
