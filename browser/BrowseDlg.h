// CBrowseDlg: the folder browser's panel: the folder toolbar (history combo,
// Change Folder), the sort toolbar (Refresh, Up One Level, "Sort by:" and
// the sort combo) and the list of the current folder, with the queries and
// actions the commands use.
//
// The name map finds an item by its exact file name (Photos and photos are
// two names); it is rebuilt after every sort and every removal. The current
// item is the open image's: it is kept by name and found again after every
// sort, so it never points at a neighbour. Without a current item, Next and
// Previous go on from a remembered entry: its item while listed, else the
// place it would sort into. Selection and focus live in the list's
// selection model and follow their files through a sort.
//
// Moving the focus opens the focused item once it rests there for 300 ms,
// unless a command starts meanwhile: a command acts on the selection as it
// found it, never on an image opened behind its dialogs. The combos act
// only on the user's choice (activated), never on changes made here under a
// signal blocker.
#pragma once

#include "FileListEntry.h"
#include "FileListModel.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <vector>

class CFileListCtrl;
class QComboBox;
class QToolBar;

class CBrowseDlg : public QWidget {
    Q_OBJECT
public:
    explicit CBrowseDlg(QWidget* parent = nullptr);
    // Saves the folder history.
    ~CBrowseDlg() override;

    CFileListCtrl* GetListCtrl() const { return m_list; }
    CFileListModel* GetModel() const { return m_model; }
    QComboBox* GetSortCombo() const { return m_sortCombo; }
    QComboBox* GetFolderCombo() const { return m_folderCombo; }
    QToolBar* GetSortToolbar() const { return m_sortBar; }
    QToolBar* GetFolderToolbar() const { return m_folderBar; }

    int GetItemCount() const { return m_model->rowCount(); }
    const FileListEntry& GetEntry(int index) const { return m_model->Entry(index); }
    const QHash<QString, int>& GetNameMap() const { return m_nameMap; }

    // Appends the batch as one insertion (unsorted until SortAndRemap).
    void AddItems(std::vector<FileListEntry>&& entries);
    void AddItem(const FileListEntry& entry);
    // Removes one item with its picture; the current item follows its file,
    // and stepping goes on from its place once it is gone.
    void DeleteItem(int index);
    // Current index -1, every item gone.
    void DeleteAll();
    // Sorts with SortsBefore on `sortType`, rebuilds the name map and
    // finds the current item again by its name.
    void SortAndRemap(int sortType);
    // The thumbnail of the file `name`; ignored for a name not listed and for folders.
    void SetThumbnail(const QString& name, const QImage& picture, int width, int height);
    // The item nearest the list's top left corner, or -1.
    int GetFirstVisible() const;

    // The item of the file name of `path` becomes current, focused and
    // selected; returns its index, or -1 when the name is not listed.
    int SelectByName(const QString& path);
    // Deselects the current item; the current index does not change.
    void ClearCurrent();
    // No item is current, focused or selected, and the focus timer stops;
    // Next and Previous go on from the item that was current.
    void ForgetCurrent();
    void SetAllSelected(bool selected);
    void SetSelected(int index, bool selected);
    bool IsSelected(int index) const;
    // The focused item (-1: none).
    int GetFocusedIndex() const;
    void SetFocused(int index);

    // The focused item's entry first (selected or not), then every other
    // selected entry in list order.
    std::vector<FileListEntry> GetSelectedEntries() const;
    bool HasSelection() const;

    // The name of item `index` (below 0: the current item); empty beyond the list.
    QString GetNameAt(int index) const;
    // The names of the items FindStep gives; empty when there is none.
    QString GetNextName() const;
    QString GetPrevName() const;
    // The first file item from `from` + `step` on, stepping by `step`; -1: none.
    int FindFile(int from, int step) const;
    int GetCurrentIndex() const { return m_nCurrent; }
    // Where Next and Previous step from: the current item, or else the item
    // of the remembered entry; -1 for none.
    int GetStepIndex() const;
    // The file item Next (`step` 1) or Previous (-1) opens, folders passed
    // over; with the remembered entry no longer listed, the nearest after or
    // before its place. -1: none.
    int FindStep(int step) const;
    // The current item's entry, else the remembered one (empty name: none).
    FileListEntry GetStepPlace() const;
    // While no item is current, Next and Previous go on from `place`.
    void SetStepPlace(const FileListEntry& place);
    // The index of the item named exactly `name`, or -1.
    int FindName(const QString& name) const { return m_nameMap.value(name, -1); }

    // Most recent first, at most 10, no folder twice (compared exactly); a
    // folder holding "|" cannot be stored and is left out.
    void AddFolderHistory(const QString& folder);
    // Drops `folder` and every folder inside it.
    void RemoveFolderHistory(const QString& folder);
    // The folder box shows `folder` (no command follows).
    void ShowFolderText(const QString& folder);
    QStringList GetFolderHistory() const;
    // The profile's "General"/"FolderHistory": every folder followed by "|".
    void LoadFolderHistory();
    void SaveFolderHistory() const;

    // The combos' choices, the commands 32880 and 32901.
    void OnSortChange();
    void OnFolderComboSelect();
    // Enter or a double click: a folder becomes the current folder.
    void OpenFocusedItem();
    // The focus timer: the focused item opens, or with the save question
    // cancelled the focus goes back to the open image's item.
    void OnTimer();
    // Whether the focused item is still to be opened by the focus timer.
    bool IsFocusOpenPending() const { return m_focusTimer.isActive(); }
    // Renames item `index` to `text` plus its extension; false, with a
    // message, when refused or failed.
    bool OnEndLabelEdit(int index, const QString& text);

    // The icon spacing alone, from ThumbWidth, ThumbSpace and the labels.
    void ApplySpacing();
    // Pictures, labels, spacing and label font from the settings (a full reload).
    void ApplyListLook();
    // The list's background as a COLORREF, for the thumbnails' boxes.
    uint32_t WindowColour() const;
    // The sort combo shows `sortType` (no command follows).
    void ShowSortType(int sortType);
    // The view's sort: the list and the thumbnail queue (set by the view).
    std::function<void()> m_resort;
    // Queues a file's thumbnail (set by the view).
    std::function<void(const QString& path)> m_queueThumbnail;
    // Places toolbars and list for the DPI scale `scale` (per cent).
    void LayoutChildren(int scale);

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void CreateToolbars(int scale);
    void Remap();
    void FindCurrentAgain();
    void RestoreFocusToCurrent();
    // How many items sort before `entry`.
    int PlaceOf(const FileListEntry& entry) const;
    QModelIndex Index(int row) const;

    CFileListModel* m_model;
    CFileListCtrl* m_list;
    QToolBar* m_sortBar = nullptr;
    QToolBar* m_folderBar = nullptr;
    QComboBox* m_sortCombo = nullptr;
    QComboBox* m_folderCombo = nullptr;
    QTimer m_focusTimer;
    int m_nCurrent = -1;
    // The open image's file name while it is listed; empty after a clearing.
    QString m_strCurrentName;
    // The entry stepped from while no item is current: the item current
    // before ForgetCurrent, a removal or a reload (empty name: none).
    FileListEntry m_stepFrom;
    // The order of the last sort.
    int m_nSortType = 0;
    QHash<QString, int> m_nameMap;
    // Changes made here, not by the user, do not start the focus timer.
    int m_nQuiet = 0;
};
