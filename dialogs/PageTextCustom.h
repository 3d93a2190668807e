// CPageTextCustom: the "Custom Text" page of the text editor: the custom
// block's style and its free-text template.
#pragma once

#include "PageTextStyle.h"

class CPageTextCustom : public CPageTextStyle {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 156;
    CPageTextCustom();

protected:
    TextStyle* Style() const override;
    int FontCharset() const override;
};
