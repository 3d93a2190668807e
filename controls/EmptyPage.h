// CEmptyPage: the page without controls that every tab-less sheet of the
// program holds first, so that page i of an owner sits at sheet index i + 1.
#pragma once

#include "PropertySheet.h"

class CEmptyPage : public CPropertyPage {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 245;
    CEmptyPage() : CPropertyPage(kTemplateId) {}
};
