#include "FileListModel.h"

#include <QDateTime>
#include <QLocale>

#include <algorithm>
#include <numeric>

CFileListModel::CFileListModel(QObject* parent) : QAbstractListModel(parent) {}

int CFileListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_items.size());
}

QVariant CFileListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const Item& item = m_items[size_t(index.row())];
    switch (role) {
    case Qt::DisplayRole:
        return m_bLabels ? item.entry.name : QString();
    case Qt::EditRole:
        return StemOf(item.entry.name);
    case Qt::DecorationRole:
        if (item.entry.directory)
            return m_folder;
        return item.thumbnail.isNull() ? m_placeholder : item.thumbnail;
    case Qt::ToolTipRole:
        return ToolTipText(item.entry);
    default:
        return {};
    }
}

bool CFileListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || !m_rename)
        return false;
    return m_rename(index.row(), value.toString());
}

Qt::ItemFlags CFileListModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsEditable : Qt::NoItemFlags;
}

void CFileListModel::Append(std::vector<FileListEntry>&& entries)
{
    if (entries.empty())
        return;
    const int first = rowCount();
    beginInsertRows(QModelIndex(), first, first + int(entries.size()) - 1);
    m_items.reserve(m_items.size() + entries.size());
    for (FileListEntry& entry : entries)
        m_items.push_back({std::move(entry), QPixmap()});
    endInsertRows();
}

void CFileListModel::Remove(int row)
{
    if (row < 0 || row >= rowCount())
        return;
    beginRemoveRows(QModelIndex(), row, row);
    m_items.erase(m_items.begin() + row);
    endRemoveRows();
}

void CFileListModel::Clear()
{
    beginResetModel();
    m_items.clear();
    endResetModel();
}

int CFileListModel::CompareEntries(const FileListEntry& a, const FileListEntry& b, int sortType)
{
    if (a.directory != b.directory)
        return a.directory ? -1 : 1;
    if (sortType == 1)
        return a.lastWriteTime < b.lastWriteTime ? -1 : a.lastWriteTime > b.lastWriteTime ? 1 : 0;
    return a.name.compare(b.name, Qt::CaseInsensitive);
}

bool CFileListModel::SortsBefore(const FileListEntry& a, const FileListEntry& b, int sortType)
{
    if (const int c = CompareEntries(a, b, sortType))
        return c < 0;
    if (const int c = a.name.compare(b.name, Qt::CaseInsensitive))
        return c < 0;
    return a.name < b.name;
}

void CFileListModel::Sort(int sortType)
{
    const size_t n = m_items.size();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        return SortsBefore(m_items[size_t(a)].entry, m_items[size_t(b)].entry, sortType);
    });
    if (std::is_sorted(order.begin(), order.end()))
        return;
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<int> newRow(n);
    std::vector<Item> sorted;
    sorted.reserve(n);
    for (size_t i = 0; i < n; ++i) {
        newRow[size_t(order[i])] = int(i);
        sorted.push_back(std::move(m_items[size_t(order[i])]));
    }
    m_items = std::move(sorted);
    // The view's selection and focus are persistent indexes: they follow
    // their rows, so the same files stay selected and focused.
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& index : from)
        to.append(index.isValid() ? createIndex(newRow[size_t(index.row())], 0) : QModelIndex());
    changePersistentIndexList(from, to);
    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void CFileListModel::SetName(int row, const QString& name)
{
    m_items[size_t(row)].entry.name = name;
    emit dataChanged(index(row), index(row));
}

void CFileListModel::SetThumbnail(int row, const QPixmap& picture, int width, int height)
{
    Item& item = m_items[size_t(row)];
    item.entry.width = width;
    item.entry.height = height;
    item.thumbnail = picture;
    emit dataChanged(index(row), index(row), {Qt::DecorationRole, Qt::ToolTipRole});
}

void CFileListModel::SetPictures(const QPixmap& placeholder, const QPixmap& folder)
{
    m_placeholder = placeholder;
    m_folder = folder;
}

QString CFileListModel::GroupedDigits(uint64_t value)
{
    QString digits = QString::number(value);
    for (qsizetype i = digits.size() - 3; i > 0; i -= 3)
        digits.insert(i, QLatin1Char(' '));
    return digits;
}

QString CFileListModel::StemOf(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString CFileListModel::ToolTipText(const FileListEntry& entry)
{
    const QDateTime time = QDateTime::fromSecsSinceEpoch(entry.lastWriteTime).toLocalTime();
    const QLocale locale;
    // The short time format is hours and minutes in every locale.
    const QString when = locale.toString(time.date(), QLocale::ShortFormat) + QLatin1Char(' ')
                         + locale.toString(time.time(), QLocale::ShortFormat);
    if (entry.directory)
        return QStringLiteral("FOLDER\n") + entry.name + QLatin1Char('\n') + when;
    return entry.name + QLatin1Char('\n') + GroupedDigits(entry.size) + QStringLiteral(" bytes\n")
           + QString::number(entry.width) + QStringLiteral(" x ") + QString::number(entry.height) + QLatin1Char('\n')
           + when;
}
