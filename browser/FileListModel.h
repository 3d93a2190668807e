// CFileListModel: the rows of the folder browser's list, one per
// FileListEntry, each with its own picture: its thumbnail once made, else the
// shared placeholder (files) or folder picture. Rows are added a batch at a
// time and sorted in place; the sort moves the view's persistent indexes, so
// selection and focus stay on their files.
#pragma once

#include "FileListEntry.h"

#include <QAbstractListModel>
#include <QPixmap>

#include <functional>
#include <vector>

class CFileListModel : public QAbstractListModel {
    Q_OBJECT
public:
    // Called by a finished label edit with the row and the typed text;
    // true when the row was renamed.
    using RenameFn = std::function<bool(int row, const QString& text)>;

    explicit CFileListModel(QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    const FileListEntry& Entry(int row) const { return m_items[size_t(row)].entry; }
    // Appends the batch with one insertion.
    void Append(std::vector<FileListEntry>&& entries);
    void Remove(int row);
    void Clear();
    // Folders first, then by name or time (SortsBefore).
    void Sort(int sortType);
    void SetName(int row, const QString& name);
    void SetThumbnail(int row, const QPixmap& picture, int width, int height);
    bool HasThumbnail(int row) const { return !m_items[size_t(row)].thumbnail.isNull(); }

    // The shared pictures and whether labels show names.
    void SetPictures(const QPixmap& placeholder, const QPixmap& folder);
    const QPixmap& Placeholder() const { return m_placeholder; }
    void SetLabelsShown(bool shown) { m_bLabels = shown; }
    void SetRenameHandler(RenameFn rename) { m_rename = std::move(rename); }

    // A directory before a file; then times (sortType 1, older first) or
    // names ignoring case. Negative, zero or positive.
    static int CompareEntries(const FileListEntry& a, const FileListEntry& b, int sortType);
    // The list's order: CompareEntries, then names ignoring case, then exact
    // names, so that every entry, listed or not, has one place in it.
    static bool SortsBefore(const FileListEntry& a, const FileListEntry& b, int sortType);
    // The tip of an item: a folder's "FOLDER", name and time; a file's name,
    // size, picture size and time.
    static QString ToolTipText(const FileListEntry& entry);
    // "1 234 567": a space before every group of three digits.
    static QString GroupedDigits(uint64_t value);
    // The name with the text from its last '.' cut off.
    static QString StemOf(const QString& name);

private:
    struct Item {
        FileListEntry entry;
        QPixmap thumbnail;
    };

    std::vector<Item> m_items;
    QPixmap m_placeholder;
    QPixmap m_folder;
    bool m_bLabels = true;
    RenameFn m_rename;
};
