// CBrowseDlg: the folder browser's list of the current folder and the
// queries the commands make of it. Each item holds one FileListEntry and its
// selected and focused state; the current item is the open image's. The name
// map finds an item by its exact file name (names are case-sensitive).
//
// Item states travel with the items through a sort, so the current and the
// focused item stay the same files, and the name map is rebuilt after every
// sort and every removal.
#pragma once

#include "FileListEntry.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <vector>

class CBrowseDlg {
public:
    int GetItemCount() const { return int(m_items.size()); }
    const FileListEntry& GetEntry(int index) const { return m_items[size_t(index)].entry; }

    // Appends an item (unsorted until SortAndRemap).
    void AddItem(const FileListEntry& entry);
    // Removes one item; the current index follows its item or becomes -1.
    void DeleteItem(int index);
    // Current index -1, every item gone.
    void DeleteAll();
    // Sorts with CompareEntries on `sortType` and rebuilds the name map.
    void SortAndRemap(int sortType);

    // The item of the file name of `path` becomes current, focused and
    // selected; returns its index, or -1 when the name is not listed.
    int SelectByName(const QString& path);
    // Deselects the current item; the current index does not change.
    void ClearCurrent();
    void SetAllSelected(bool selected);
    void SetSelected(int index, bool selected);
    bool IsSelected(int index) const { return m_items[size_t(index)].selected; }
    // The focused item (-1: none).
    int GetFocusedIndex() const { return m_nFocused; }
    void SetFocused(int index) { m_nFocused = index; }

    // The focused item's entry first (selected or not), then every other
    // selected entry in list order.
    std::vector<FileListEntry> GetSelectedEntries() const;
    bool HasSelection() const;

    // The name of item `index` (below 0: the current item); empty beyond the list.
    QString GetNameAt(int index) const;
    QString GetNextName() const;
    QString GetPrevName() const;
    int GetCurrentIndex() const { return m_nCurrent; }
    // The index of the item named exactly `name`, or -1.
    int FindName(const QString& name) const { return m_nameMap.value(name, -1); }

    // Most recent first, at most 10, no folder twice (case ignored).
    void AddFolderHistory(const QString& folder);
    const QStringList& GetFolderHistory() const { return m_folderHistory; }

    // Folders before files; then by time (sortType 1) or by name ignoring case.
    static int CompareEntries(const FileListEntry& a, const FileListEntry& b, int sortType);

private:
    struct Item {
        FileListEntry entry;
        bool selected = false;
    };
    void Remap();

    std::vector<Item> m_items;
    int m_nCurrent = -1;
    int m_nFocused = -1;
    QHash<QString, int> m_nameMap;
    QStringList m_folderHistory;
};
