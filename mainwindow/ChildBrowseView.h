// CChildBrowseView: the folder browser's pane in the main frame. It owns the
// list of the current folder (CBrowseDlg) and fills it: ShowFolder lists the
// folder on the spot, through the one folder scan, folders first. It is also
// the browser selection the frame hands to runs over files.
#pragma once

#include "BrowseDlg.h"
#include "BrowserSelection.h"

#include <QString>
#include <QWidget>

class CChildBrowseView final : public QWidget, public IBrowserSelection {
public:
    explicit CChildBrowseView(QWidget* parent = nullptr);

    CBrowseDlg& GetBrowseDlg() { return m_dlg; }

    // Lists the application's current folder (`folder` is not used). Modes:
    // 0 full reload, 1 nothing, 2 add entries new on disk, 3 remove entries
    // that vanished from disk. After a full reload with the open-first flag
    // set, the first item is opened.
    void ShowFolder(const QString& folder, int mode) override;
    // Selects the item of `path`, or remembers the path until a listing brings it.
    void SelectOrRemember(const QString& path);
    // Sorts again after the sort type changed.
    void Resort();

    // IBrowserSelection: thumbnails come with the browser's view.
    std::vector<FileListEntry> GetSelectedEntries() override { return m_dlg.GetSelectedEntries(); }
    bool HasSelection() override { return m_dlg.HasSelection(); }
    void RequeueCurrentThumbnail() override {}
    void QueueThumbnail(const QString&) override {}

    // Forwarders used by the commands.
    QString GetNameAt(int index) const { return m_dlg.GetNameAt(index); }
    QString GetNextName() const { return m_dlg.GetNextName(); }
    QString GetPrevName() const { return m_dlg.GetPrevName(); }
    int GetCurrentIndex() const { return m_dlg.GetCurrentIndex(); }
    int GetItemCount() const { return m_dlg.GetItemCount(); }
    void ClearCurrent() { m_dlg.ClearCurrent(); }
    void DeleteAll() { m_dlg.DeleteAll(); }

private:
    void FillFolder(int mode);
    void TakePending();

    CBrowseDlg m_dlg;
    QString m_strPendingName;
};
