// browser/: the folder browser: its pane and panel, the list model and
// control, the file collector, and the two workers (folder listing,
// thumbnails) that need no widgets. It may include dialogs/, controls/,
// engine/ and below; what it needs of the application it reaches through
// IBrowserHost (BrowserHost.h), which the application implements.
//
// CChildBrowseView: the folder browser's pane in the main frame. It owns the
// panel (CBrowseDlg) and the two workers that fill it: the folder listing
// (CFileListLoader) and the thumbnails (CThumbLoader). ShowFolder starts a
// listing; the application's idle steps (OnIdle) take entries over in
// batches and one finished thumbnail per step. The workers wake the idle
// steps through a queued RequestIdle, so nothing polls while they work.
// It is also the browser selection the frame hands to runs over files.
#pragma once

#include "BrowseDlg.h"
#include "BrowserSelection.h"
#include "FileListLoader.h"
#include "ThumbLoader.h"

#include <QString>
#include <QWidget>

#include <memory>

class CChildBrowseView final : public QWidget, public IBrowserSelection {
    Q_OBJECT
public:
    explicit CChildBrowseView(QWidget* parent = nullptr);
    // Stops both workers before anything they could call goes.
    ~CChildBrowseView() override;

    CBrowseDlg& GetBrowseDlg() { return *m_pDlg; }
    // Creates the panel as the view's child (done by the constructor).
    void CreateBrowseDlg();

    // Lists the application's current folder (`folder` is not used). Modes:
    // 0 full reload, 1 nothing, 2 add entries new on disk, 3 remove entries
    // that vanished from disk. After a full reload with the open-first flag
    // set, item 0 of the complete, sorted listing is opened. A full reload
    // keeps its place: the open image's item becomes current again once its
    // entry arrives, and Next and Previous go on from where the current item
    // stood meanwhile, or for good when its file is gone.
    void ShowFolder(const QString& folder, int mode) override;
    // One idle step; true while entries or thumbnails wait to be taken.
    bool OnIdle(long count);
    // Takes up to `maximum` waiting entries into the list; returns how many.
    int FetchEntries(int maximum);
    // Selects the item of `path`, or remembers the path until a listing brings it.
    void SelectOrRemember(const QString& path);
    // Sorts the list for SortType, shows it in the combo and reorders the
    // thumbnail queue.
    void Resort();
    // The icon spacing from the settings, nothing else (Preferences).
    void SetIconSpacing() { m_pDlg->ApplySpacing(); }

    CThumbLoader* GetThumbLoader();
    // IBrowserSelection.
    std::vector<FileListEntry> GetSelectedEntries() override { return m_pDlg->GetSelectedEntries(); }
    bool HasSelection() override { return m_pDlg->HasSelection(); }
    void RequeueCurrentThumbnail() override;
    void QueueThumbnail(const QString& path) override;
    void FollowOpenImage(const QString& path) override;

    // Forwarders used by the commands.
    QString GetNameAt(int index) const { return m_pDlg->GetNameAt(index); }
    QString GetNextName() const { return m_pDlg->GetNextName(); }
    QString GetPrevName() const { return m_pDlg->GetPrevName(); }
    int FindFile(int from, int step) const { return m_pDlg->FindFile(from, step); }
    int GetCurrentIndex() const { return m_pDlg->GetCurrentIndex(); }
    int GetStepIndex() const { return m_pDlg->GetStepIndex(); }
    int FindStep(int step) const { return m_pDlg->FindStep(step); }
    int GetItemCount() const { return m_pDlg->GetItemCount(); }
    void ClearCurrent() { m_pDlg->ClearCurrent(); }
    void DeleteAll();
    // Whether the folder worker has delivered the whole folder.
    bool IsListingComplete() { return !m_listLoader->HasMore(); }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void FillFolder(int mode);
    void AddNewEntries();
    void RemoveVanishedEntries();
    void OpenFirstWhenComplete();
    // The worker's callback: a queued idle request on the UI thread.
    void PostIdleRequest();

    CBrowseDlg* m_pDlg = nullptr;
    std::unique_ptr<CThumbLoader> m_thumbLoader;
    int m_nFirstVisible = -1;
    std::unique_ptr<CFileListLoader> m_listLoader;
    QString m_strPendingName;
    // The folder of the last full reload.
    QString m_strListedFolder;
    // A full reload asked to open its first item once the listing is complete.
    bool m_bOpenFirstPending = false;
};
