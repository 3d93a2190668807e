#include "ChildBrowseView.h"

#include "FileCollector.h"
#include "FileNames.h"
#include "FolderScan.h"
#include "PixmendApp.h"

namespace {

QString CurrentFolder()
{
    CPixmendApp* app = CPixmendApp::Instance();
    return app ? app->m_strCurrentFolder : QString();
}

int SortType()
{
    CPixmendApp* app = CPixmendApp::Instance();
    return app ? app->m_settings.SortType : 0;
}

} // namespace

CChildBrowseView::CChildBrowseView(QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("BrowserView"));
}

void CChildBrowseView::ShowFolder(const QString& /*folder*/, int mode)
{
    FillFolder(mode);
}

void CChildBrowseView::FillFolder(int mode)
{
    const QString folder = CurrentFolder();
    switch (mode) {
    case 0:
        m_dlg.DeleteAll();
        ScanFolder(folder, [this](FileListEntry&& entry) {
            m_dlg.AddItem(entry);
            return true;
        });
        m_dlg.SortAndRemap(SortType());
        TakePending();
        if (CPixmendApp* app = CPixmendApp::Instance(); app && m_dlg.GetItemCount() > 0 && app->m_bOpenFirstImage)
            app->OpenImage(JoinPath(folder, m_dlg.GetNameAt(0)), 1);
        break;
    case 2:
        ScanFolder(folder, [this](FileListEntry&& entry) {
            if (m_dlg.FindName(entry.name) < 0)
                m_dlg.AddItem(entry);
            return true;
        });
        m_dlg.SortAndRemap(SortType());
        TakePending();
        break;
    case 3:
        for (int i = m_dlg.GetItemCount() - 1; i >= 0; --i)
            if (!FileExists(JoinPath(folder, m_dlg.GetNameAt(i))))
                m_dlg.DeleteItem(i);
        m_dlg.SortAndRemap(SortType());
        break;
    default:
        break;
    }
}

void CChildBrowseView::TakePending()
{
    if (!m_strPendingName.isEmpty() && m_dlg.SelectByName(m_strPendingName) >= 0)
        m_strPendingName.clear();
}

void CChildBrowseView::SelectOrRemember(const QString& path)
{
    if (m_dlg.SelectByName(path) < 0)
        m_strPendingName = path;
    else
        m_strPendingName.clear();
}

void CChildBrowseView::Resort()
{
    m_dlg.SortAndRemap(SortType());
}
