// CDlgOperText: the text editor, three tabs over the text settings: "EXIF",
// "Custom Text" and "Format", and the size-scaling switch. The tab shown
// last is kept in CurTab.
#pragma once

#include "DlgTab.h"
#include "OperationDlg.h"
#include "PageTextCustom.h"
#include "PageTextExif.h"
#include "PageTextFormat.h"

class QCheckBox;
struct TextSettings;

class CDlgOperText : public COperationDlg {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 177;
    CDlgOperText() : COperationDlg(kTemplateId) {}

    bool OnKillActive() override;
    // The pages let go of the settings too.
    void ReleaseParams() override;
    // Binds the settings to the three pages and shows ScaleSizes.
    void UpdatePages();

    CDlgTab& GetTab() { return m_tab; }
    CPageTextExif& GetExifPage() { return m_exif; }
    CPageTextCustom& GetCustomPage() { return m_custom; }
    CPageTextFormat& GetFormatPage() { return m_format; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;
    void UpdateControls() override;

private:
    TextSettings* Params() const { return static_cast<TextSettings*>(GetParams()); }

    CDlgTab m_tab;
    CPageTextExif m_exif;
    CPageTextCustom m_custom;
    CPageTextFormat m_format;
    QCheckBox* m_scale = nullptr;
};
