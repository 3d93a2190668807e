#include "ChildBrowseView.h"

#include "AppSettings.h"
#include "BrowserHost.h"
#include "FileCollector.h"
#include "FileListCtrl.h"
#include "FileNames.h"
#include "FolderScan.h"
#include "KsImage.h"
#include "SettingsDlg.h"

#include <QResizeEvent>

#include <algorithm>
#include <chrono>

namespace {

using namespace std::chrono_literals;

// A full reload waits this long for the first entry, so a stalled network
// folder cannot freeze the window; once one came, a little longer for the
// first batch, so a small folder is listed whole at once.
constexpr auto kFirstEntryWait = 2000ms;
constexpr auto kFirstBatchWait = 250ms;
constexpr int kFirstBatch = 100;
constexpr int kIdleBatch = 1000;

IBrowserHost* App()
{
    return BrowserHost();
}

QString CurrentFolder()
{
    IBrowserHost* app = App();
    return app ? app->BrowserFolder() : QString();
}

int SortType()
{
    IBrowserHost* app = App();
    return app ? app->BrowserSettings().SortType : 0;
}

// Only an item of this folder stands for the file: the name alone could be
// another file's here.
bool IsInFolder(const QString& path, const QString& folder)
{
    return JoinPath(folder, path.mid(path.lastIndexOf(QLatin1Char('/')) + 1)) == path;
}

// The view whose calls the Preferences hooks make.
const CChildBrowseView* g_hooksOwner = nullptr;

} // namespace

CChildBrowseView::CChildBrowseView(QWidget* parent)
    : QWidget(parent)
    , m_listLoader(std::make_unique<CFileListLoader>())
{
    setObjectName(QStringLiteral("BrowserView"));
    m_listLoader->SetNotify([this] { PostIdleRequest(); });
    CreateBrowseDlg();

    SettingsBrowserHooks& hooks = SettingsBrowser();
    hooks.showFolder = [this](const QString& folder) { ShowFolder(folder, 0); };
    hooks.setIconSpacing = [this](int, int) { SetIconSpacing(); };
    hooks.resort = [this] { Resort(); };
    g_hooksOwner = this;
}

CChildBrowseView::~CChildBrowseView()
{
    if (g_hooksOwner == this) {
        SettingsBrowser() = {};
        g_hooksOwner = nullptr;
    }
    // The workers' callbacks post to this object: both threads end first.
    m_thumbLoader.reset();
    m_listLoader.reset();
    m_pDlg->DeleteAll();
}

void CChildBrowseView::CreateBrowseDlg()
{
    if (m_pDlg)
        return;
    m_pDlg = new CBrowseDlg(this);
    m_pDlg->m_resort = [this] { Resort(); };
    m_pDlg->m_queueThumbnail = [this](const QString& path) { QueueThumbnail(path); };
    m_pDlg->setGeometry(rect());
    m_pDlg->show();
    // F6 and the frame's focus calls reach the list.
    setFocusProxy(m_pDlg->GetListCtrl());
}

void CChildBrowseView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    m_pDlg->setGeometry(rect());
}

void CChildBrowseView::PostIdleRequest()
{
    QMetaObject::invokeMethod(
        this,
        [] {
            if (IBrowserHost* app = App())
                app->RequestIdle();
        },
        Qt::QueuedConnection);
}

CThumbLoader* CChildBrowseView::GetThumbLoader()
{
    if (!m_thumbLoader) {
        IBrowserHost* app = App();
        m_thumbLoader = std::make_unique<CThumbLoader>(app ? app->BrowserImage().GetLibraryObject() : nullptr);
        m_thumbLoader->SetNotify([this] { PostIdleRequest(); });
    }
    return m_thumbLoader.get();
}

void CChildBrowseView::ShowFolder(const QString& /*folder*/, int mode)
{
    FillFolder(mode);
}

void CChildBrowseView::DeleteAll()
{
    m_pDlg->DeleteAll();
    m_nFirstVisible = -1;
}

void CChildBrowseView::FillFolder(int mode)
{
    switch (mode) {
    case 0: {
        if (m_thumbLoader)
            m_thumbLoader->Clear();
        m_pDlg->ApplyListLook();
        IBrowserHost* app = App();
        const CAppSettings settings = app ? app->BrowserSettings() : CAppSettings();
        const int flags = (settings.ThumbBorder ? 3 : 0) | (settings.ThumbShadow ? 4 : 0);
        GetThumbLoader()->SetParameters(std::clamp(settings.ThumbWidth, 40, 150), flags, m_pDlg->WindowColour());
        const QString folder = CurrentFolder();
        const bool sameFolder = folder == m_strListedFolder;
        const FileListEntry place = sameFolder ? m_pDlg->GetStepPlace() : FileListEntry();
        DeleteAll();
        m_strListedFolder = folder;
        m_pDlg->SetStepPlace(place);
        // The open image's item becomes current again as after its opening.
        const CKsImage* image = app ? &app->BrowserImage() : nullptr;
        if (image && image->IsLoaded() && IsInFolder(image->GetPath(), folder))
            m_strPendingName = image->GetPath();
        else if (!sameFolder)
            m_strPendingName.clear();
        m_listLoader->StartFolder(folder);
        if (m_listLoader->WaitForEntries(1, kFirstEntryWait))
            m_listLoader->WaitForEntries(kFirstBatch, kFirstBatchWait);
        FetchEntries(kFirstBatch);
        m_bOpenFirstPending = true;
        OpenFirstWhenComplete();
        break;
    }
    case 2:
        AddNewEntries();
        break;
    case 3:
        RemoveVanishedEntries();
        break;
    default:
        break;
    }
}

void CChildBrowseView::OpenFirstWhenComplete()
{
    // The file system lists in no order: only the complete, sorted list
    // knows its first item.
    if (!m_bOpenFirstPending || m_listLoader->HasMore())
        return;
    m_bOpenFirstPending = false;
    // Folders come first: the first file is the first photo.
    const int first = FindFile(-1, 1);
    if (IBrowserHost* app = App())
        app->ListingComplete(first >= 0 ? JoinPath(CurrentFolder(), GetNameAt(first)) : QString());
}

int CChildBrowseView::FetchEntries(int maximum)
{
    const QString folder = CurrentFolder();
    std::vector<FileListEntry> batch;
    FileListEntry entry;
    while (int(batch.size()) < maximum && m_listLoader->PopEntry(entry)) {
        // A refresh (mode 2) may have listed it already.
        if (m_pDlg->FindName(entry.name) >= 0)
            continue;
        if (!entry.directory)
            GetThumbLoader()->AddRequest(JoinPath(folder, entry.name));
        batch.push_back(std::move(entry));
    }
    const int taken = int(batch.size());
    if (taken == 0)
        return 0;
    CFileListCtrl* list = m_pDlg->GetListCtrl();
    list->setUpdatesEnabled(false);
    m_pDlg->AddItems(std::move(batch));
    list->setUpdatesEnabled(true);
    Resort();
    if (!m_strPendingName.isEmpty() && m_pDlg->SelectByName(m_strPendingName) >= 0)
        m_strPendingName.clear();
    return taken;
}

bool CChildBrowseView::OnIdle(long count)
{
    const int taken = FetchEntries(kIdleBatch);
    OpenFirstWhenComplete();
    CThumbLoader* loader = GetThumbLoader();
    if (count == 0) {
        const int first = m_pDlg->GetFirstVisible();
        if (first >= 0 && first != m_nFirstVisible) {
            m_nFirstVisible = first;
            loader->SetFirstVisible(m_pDlg->GetNameAt(first), m_pDlg->GetNameMap());
        }
    }
    ThumbCacheEntry thumbnail;
    const bool tookThumbnail = loader->PopThumbnail(thumbnail);
    if (tookThumbnail) {
        // Only a thumbnail of this folder's file of that name.
        if (IsInFolder(thumbnail.path, CurrentFolder()))
            m_pDlg->SetThumbnail(thumbnail.path.mid(thumbnail.path.lastIndexOf(QLatin1Char('/')) + 1), thumbnail.bitmap,
                                 thumbnail.width, thumbnail.height);
    }
    // More only while something waits to be taken; the workers' callbacks
    // wake the idle steps again when their next results are ready.
    return taken == kIdleBatch || tookThumbnail;
}

void CChildBrowseView::AddNewEntries()
{
    const QString folder = CurrentFolder();
    std::vector<FileListEntry> batch;
    ScanFolder(folder, [&](FileListEntry&& entry) {
        if (m_pDlg->FindName(entry.name) < 0) {
            if (!entry.directory)
                QueueThumbnail(JoinPath(folder, entry.name));
            batch.push_back(std::move(entry));
        }
        return true;
    });
    m_pDlg->AddItems(std::move(batch));
    Resort();
    if (!m_strPendingName.isEmpty() && m_pDlg->SelectByName(m_strPendingName) >= 0)
        m_strPendingName.clear();
}

void CChildBrowseView::RemoveVanishedEntries()
{
    const QString folder = CurrentFolder();
    for (int i = GetItemCount() - 1; i >= 0; --i)
        if (!FileExists(JoinPath(folder, GetNameAt(i))))
            m_pDlg->DeleteItem(i);
    Resort();
}

void CChildBrowseView::SelectOrRemember(const QString& path)
{
    if (m_pDlg->SelectByName(path) < 0)
        m_strPendingName = path;
    else
        m_strPendingName.clear();
}

void CChildBrowseView::FollowOpenImage(const QString& path)
{
    m_pDlg->ForgetCurrent();
    m_strPendingName.clear();
    // Saved elsewhere, the photo has no item, and stepping goes on from the
    // one it came from.
    if (IsInFolder(path, CurrentFolder()))
        SelectOrRemember(path);
}

void CChildBrowseView::Resort()
{
    const int sortType = SortType();
    m_pDlg->SortAndRemap(sortType);
    m_pDlg->ShowSortType(sortType);
    if (m_thumbLoader)
        m_thumbLoader->Reorder(m_pDlg->GetNameMap());
}

void CChildBrowseView::QueueThumbnail(const QString& path)
{
    GetThumbLoader()->AddRequest(path);
    m_nFirstVisible = -1;
}

void CChildBrowseView::RequeueCurrentThumbnail()
{
    const QString name = GetNameAt(-1);
    if (!name.isEmpty())
        QueueThumbnail(JoinPath(CurrentFolder(), name));
}
