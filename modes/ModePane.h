// CModePane: the docking pane "Edit" on the frame's right side. It shows the
// current mode's panel in one tab-less sheet whose first page is the empty
// page; a panel joins the sheet the first time it is shown and stays in it,
// owned by its mode.
#pragma once

#include "EmptyPage.h"
#include "PropertySheet.h"

#include <QDockWidget>

// The page shown while no mode has a panel (dialog 245, no controls).
class CPanelDefault : public CEmptyPage {
    Q_OBJECT
};

class CModePane : public QDockWidget {
    Q_OBJECT
public:
    explicit CModePane(QWidget* parent = nullptr);
    ~CModePane() override;

    // Makes `page` the active page, adding it to the sheet when it is not
    // there yet; the pane takes `caption`.
    void ShowPanel(CPropertyPage* page, const QString& caption);
    // The empty page under the caption "Edit".
    void ShowEmpty();

    // The pane's own size: it is never less tall, and it is this wide but
    // for a page that needs more, which has the width while it is shown.
    void SetOwnSize(QSize size);

    CTablessSheet& GetSheet() { return m_sheet; }
    CPanelDefault& GetEmptyPage() { return m_emptyPage; }

private:
    // The pane takes its own width, or the width the shown page needs.
    void FitToPage();

    // The page goes after the sheet, which lets go of it first.
    CPanelDefault m_emptyPage;
    CTablessSheet m_sheet;
};
