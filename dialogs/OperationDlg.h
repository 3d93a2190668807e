// dialogs/: the operation editors and their pages, the preferences, the
// macro dialogs, the save-error box, the about box and the progress windows.
// It may include Qt, controls/, engine/, resources/ and platform/; what a
// dialog needs of the running application comes through DialogHost, never
// from app/.
//
// COperationDlg: the editor page of one operation. The operation creates it
// once (through the page factory of its kind), keeps it for its whole life
// and binds it to its parameter block; every control change is written into
// that block at once. A host sheet shows it: the window is built per host
// window (OnInitDialog: ranges, tabs) and the controls are refilled from the
// block at every showing. Cancelling is the host's business.
#pragma once

#include "OperationPage.h"
#include "PropertySheet.h"

class COperationDlg : public CPropertyPage, public IOperationPage {
    Q_OBJECT
public:
    explicit COperationDlg(int templateId);

    // IOperationPage
    void SetBatchMode(int flag) override { m_nBatchMode = flag; }
    int IsBatchMode() const override { return m_nBatchMode; }
    // Stores the block's address; the controls read it when next shown.
    void BindParams(void* params) override;
    void ReleaseParams() override { m_pParams = nullptr; }
    // Reads the bound block into the controls when the window exists.
    void Refill() override;
    int HasWindow() const override { return GetSafeHwnd() ? 1 : 0; }

    void* GetParams() const { return m_pParams; }

    // Shown: the controls take the block's values.
    void OnShowWindow(bool show) override;

protected:
    // Fills the controls from the bound block; the window and a block exist.
    virtual void UpdateControls() {}

private:
    int m_nBatchMode = 0;
    void* m_pParams = nullptr;
};
