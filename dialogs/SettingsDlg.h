// CSettingsDlg: the Preferences sheet, "View" and "Defaults", over a working
// copy of the application's settings and clones of the operation prototypes.
// Apply and OK copy both back and refresh the browser and the view; Cancel
// drops them. The page that was active and the operation selected on
// "Defaults" go straight into the application's record, so the sheet
// reopens where the user left it whatever button ended it.
#pragma once

#include "AppSettings.h"
#include "HeldReturn.h"
#include "PageDefaults.h"
#include "PageView.h"
#include "PropertySheet.h"

#include <functional>

// What the Preferences need of the folder browser. Every hook may be empty
// (no browser): then that step is skipped.
struct SettingsBrowserHooks {
    // Lists the folder again and renders new thumbnails.
    std::function<void(const QString& folder)> showFolder;
    // New icon spacing of the list, horizontal and vertical, in pixels.
    std::function<void(int cx, int cy)> setIconSpacing;
    // Sorts the listing again (after the sheet, for a new sort order).
    std::function<void()> resort;
};
SettingsBrowserHooks& SettingsBrowser();

class CSettingsDlg : public CPropertySheet {
    Q_OBJECT
public:
    CSettingsDlg(CAppSettings* settings, QWidget* parent);

    CAppSettings& GetWorkingCopy() { return m_working; }
    CPageView& GetViewPage() { return m_pageView; }
    CPageDefaults& GetDefaultsPage() { return m_pageDefaults; }

protected:
    bool OnInitDialog() override;
    bool OnApplyNow() override;
    void OnOKCommand() override;
    void OnDestroy() override;

private:
    void ApplyAndClose();

    CHeldReturn m_heldReturn;
    CAppSettings m_working;
    CAppSettings* m_pSettings;
    CPageView m_pageView;
    CPageDefaults m_pageDefaults;
};
