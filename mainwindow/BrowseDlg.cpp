#include "BrowseDlg.h"

#include <algorithm>

namespace {

constexpr int kFolderHistoryMax = 10;

} // namespace

void CBrowseDlg::AddItem(const FileListEntry& entry)
{
    m_items.push_back({entry, false});
    m_nameMap.insert(entry.name, int(m_items.size()) - 1);
}

void CBrowseDlg::DeleteItem(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    m_items.erase(m_items.begin() + index);
    const auto follow = [index](int& i) {
        if (i == index)
            i = -1;
        else if (i > index)
            --i;
    };
    follow(m_nCurrent);
    follow(m_nFocused);
    Remap();
}

void CBrowseDlg::DeleteAll()
{
    m_items.clear();
    m_nameMap.clear();
    m_nCurrent = -1;
    m_nFocused = -1;
}

int CBrowseDlg::CompareEntries(const FileListEntry& a, const FileListEntry& b, int sortType)
{
    if (a.directory != b.directory)
        return a.directory ? -1 : 1;
    if (sortType == 1)
        return a.lastWriteTime < b.lastWriteTime ? -1 : a.lastWriteTime > b.lastWriteTime ? 1 : 0;
    return a.name.compare(b.name, Qt::CaseInsensitive);
}

void CBrowseDlg::SortAndRemap(int sortType)
{
    // The current and focused items are found again by position after the sort.
    std::vector<int> order(m_items.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = int(i);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return CompareEntries(m_items[size_t(a)].entry, m_items[size_t(b)].entry, sortType) < 0;
    });
    std::vector<Item> sorted;
    sorted.reserve(m_items.size());
    int current = -1;
    int focused = -1;
    for (size_t i = 0; i < order.size(); ++i) {
        if (order[i] == m_nCurrent)
            current = int(i);
        if (order[i] == m_nFocused)
            focused = int(i);
        sorted.push_back(std::move(m_items[size_t(order[i])]));
    }
    m_items = std::move(sorted);
    m_nCurrent = current;
    m_nFocused = focused;
    Remap();
}

void CBrowseDlg::Remap()
{
    m_nameMap.clear();
    m_nameMap.reserve(qsizetype(m_items.size() * 130 / 100));
    for (size_t i = 0; i < m_items.size(); ++i)
        m_nameMap.insert(m_items[i].entry.name, int(i));
}

int CBrowseDlg::SelectByName(const QString& path)
{
    const int index = FindName(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1));
    if (index < 0)
        return -1;
    m_nCurrent = index;
    m_nFocused = index;
    m_items[size_t(index)].selected = true;
    return index;
}

void CBrowseDlg::ClearCurrent()
{
    if (m_nCurrent >= 0 && m_nCurrent < GetItemCount())
        m_items[size_t(m_nCurrent)].selected = false;
}

void CBrowseDlg::SetAllSelected(bool selected)
{
    for (Item& item : m_items)
        item.selected = selected;
}

void CBrowseDlg::SetSelected(int index, bool selected)
{
    if (index >= 0 && index < GetItemCount())
        m_items[size_t(index)].selected = selected;
}

std::vector<FileListEntry> CBrowseDlg::GetSelectedEntries() const
{
    std::vector<FileListEntry> entries;
    if (m_nFocused >= 0 && m_nFocused < GetItemCount())
        entries.push_back(m_items[size_t(m_nFocused)].entry);
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i].selected && int(i) != m_nFocused)
            entries.push_back(m_items[i].entry);
    return entries;
}

bool CBrowseDlg::HasSelection() const
{
    return (m_nFocused >= 0 && m_nFocused < GetItemCount())
        || std::any_of(m_items.begin(), m_items.end(), [](const Item& item) { return item.selected; });
}

QString CBrowseDlg::GetNameAt(int index) const
{
    if (index < 0)
        index = m_nCurrent;
    return index >= 0 && index < GetItemCount() ? m_items[size_t(index)].entry.name : QString();
}

QString CBrowseDlg::GetNextName() const
{
    return m_nCurrent < GetItemCount() - 1 ? GetNameAt(m_nCurrent + 1) : QString();
}

QString CBrowseDlg::GetPrevName() const
{
    return m_nCurrent > 0 ? GetNameAt(m_nCurrent - 1) : QString();
}

void CBrowseDlg::AddFolderHistory(const QString& folder)
{
    const auto same = std::find_if(m_folderHistory.begin(), m_folderHistory.end(), [&](const QString& entry) {
        return entry.compare(folder, Qt::CaseInsensitive) == 0;
    });
    if (same != m_folderHistory.end())
        m_folderHistory.erase(same);
    else if (m_folderHistory.size() >= kFolderHistoryMax)
        m_folderHistory.removeLast();
    m_folderHistory.prepend(folder);
}
