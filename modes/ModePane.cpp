#include "ModePane.h"

#include <QMainWindow>

namespace {

const char kPaneTitle[] = "Edit";

// The pane's client area: the sheet has no layout to ask, so the pane's
// size follows the page shown, not the largest page the sheet holds. The
// pane's own size counts too: its height as a floor, its width as what the
// pane takes unless the page needs more (the empty page needs nothing).
class CPaneClient : public QWidget {
public:
    CPaneClient(CTablessSheet& sheet, QWidget* parent) : QWidget(parent), m_sheet(sheet) {}
    QSize minimumSizeHint() const override
    {
        const CPropertyPage* page = m_sheet.GetActivePage();
        const QWidget* window = page ? page->GetSafeHwnd() : nullptr;
        return (window ? window->sizeHint() : QSize(0, 0)).expandedTo(QSize(0, m_own.height()));
    }
    QSize sizeHint() const override { return minimumSizeHint().expandedTo(m_own); }
    void SetOwnSize(QSize size)
    {
        m_own = size;
        updateGeometry();
    }

private:
    CTablessSheet& m_sheet;
    QSize m_own{0, 0};
};

} // namespace

CModePane::CModePane(QWidget* parent)
    : QDockWidget(QLatin1String(kPaneTitle), parent)
    , m_sheet(QLatin1String(kPaneTitle), nullptr, &m_emptyPage)
{
    setObjectName(QStringLiteral("ModePane"));
    setAllowedAreas(Qt::RightDockWidgetArea);
    setFeatures(QDockWidget::DockWidgetMovable | QDockWidget::DockWidgetFloatable);
    auto* client = new CPaneClient(m_sheet, this);
    client->setObjectName(QStringLiteral("ModePaneClient"));
    setWidget(client);
    m_sheet.CreateTabless(client);
    // The sheet follows every resize of the pane's client area.
    m_sheet.FitToWindow(client);
}

CModePane::~CModePane() = default;

void CModePane::ShowPanel(CPropertyPage* page, const QString& caption)
{
    if (!page)
        return;
    if (!m_sheet.SetActivePage(page)) {
        m_sheet.AddPage(page);
        m_sheet.SetActivePage(page);
    }
    setWindowTitle(caption);
    FitToPage();
}

void CModePane::ShowEmpty()
{
    m_sheet.SetActivePage(&m_emptyPage);
    setWindowTitle(QLatin1String(kPaneTitle));
    FitToPage();
}

void CModePane::SetOwnSize(QSize size)
{
    static_cast<CPaneClient*>(widget())->SetOwnSize(size);
    FitToPage();
}

void CModePane::FitToPage()
{
    widget()->updateGeometry();
    // The dock keeps a width it once had: a narrower page gives the rest
    // back to the view.
    if (auto* frame = qobject_cast<QMainWindow*>(parentWidget()); frame && !isFloating())
        frame->resizeDocks({this}, {sizeHint().width()}, Qt::Horizontal);
}
