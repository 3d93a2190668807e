// COperText: the insert-text operation, made by CActionText from its
// TextSettings. Both text styles are stored under the key prefixes "exif_"
// and "cust_".
//
// The locale defaults (both locales, the first date and time formats, the
// code page) come from the locale manager given at construction, which must
// outlive the operation and its clones.
#pragma once

#include "ActionText.h"
#include "Operation.h"
#include "TextSettings.h"

class CLocaleManager;

class COperText : public COperation {
public:
    explicit COperText(CLocaleManager& locales);

    COperation* CreateNew() const override { return new COperText(m_locales); }
    void UpdatePage() override;
    IOperationPage* GetPage() override { return CreatePageOnce(); }
    IAction* CreateAction(CKsImage* image, int* stopFlag) override;

    void SelectExifText() { m_settings.CurTab = 0; }
    void SelectCustomText() { m_settings.CurTab = 1; }

    TextSettings& Settings() { return m_settings; }
    const TextSettings& Settings() const { return m_settings; }

private:
    void AddTextStyleParams(const QString& prefix, TextStyle& style);

    CLocaleManager& m_locales;
    TextSettings m_settings;
};
