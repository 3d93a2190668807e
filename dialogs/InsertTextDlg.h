// The insert-text dialog of the text mode: a modal wrapper whose frame holds
// a tab-less sheet with one page, CInsertTextDlg, whose own frame holds a
// second tab-less sheet. The owner (IController) adds the text editor page
// to that inner sheet when the dialog shows and takes it out when it goes.
#pragma once

#include "EmptyPage.h"
#include "PropertySheet.h"

#include <QDialog>

class CInsertTextDlgWrapper;

class CInsertTextDlg : public CPropertyPage {
    Q_OBJECT
public:
    class IController {
    public:
        virtual ~IController() = default;
        virtual void OnDialogShown(CInsertTextDlg* dialog) = 0;
        virtual void OnDialogHidden() = 0;
        virtual void OnDialogDestroyed(CInsertTextDlg* dialog) = 0;
    };

    static constexpr int kTemplateId = 146;
    CInsertTextDlg(IController* controller, CInsertTextDlgWrapper* wrapper);

    CTablessSheet& GetSheet() { return m_sheet; }
    void OnShowWindow(bool show) override;

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    IController* m_pController;
    QWidget* m_frame = nullptr;
    CInsertTextDlgWrapper* m_pWrapper;
    CTablessSheet m_sheet;
    CEmptyPage m_empty;
};

class CInsertTextDlgWrapper : public QDialog {
    Q_OBJECT
public:
    explicit CInsertTextDlgWrapper(CInsertTextDlg::IController* controller, QWidget* parent = nullptr);
    ~CInsertTextDlgWrapper() override;

    // Runs the dialog: IDOK (1) or IDCANCEL (2).
    int DoModal();
    void EndDialog(int result);

    CInsertTextDlg& GetPage() { return m_page; }

    static constexpr int IDOK = 1;
    static constexpr int IDCANCEL = 2;

private:
    QWidget* m_frame = nullptr;
    CTablessSheet m_sheet;
    CInsertTextDlg m_page;
};
