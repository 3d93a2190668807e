// CDlgOperGrayscale: the grayscale operation's editor, the empty page: the
// operation has no parameters to edit.
#pragma once

#include "EmptyPage.h"
#include "OperationDlg.h"

class CDlgOperGrayscale : public COperationDlg {
    Q_OBJECT
public:
    CDlgOperGrayscale() : COperationDlg(CEmptyPage::kTemplateId) {}
};
