#include "BrowseDlg.h"

#include "AppSettings.h"
#include "BrowserHost.h"
#include "CommandTable.h"
#include "KsImage.h"
#include "CommandIds.h"
#include "FileCollector.h"
#include "FileListCtrl.h"
#include "FileNames.h"
#include "FileOperation.h"
#include "MenuBuilder.h"
#include "MenuResources.h"
#include "MessageBoxes.h"
#include "Profile.h"
#include "ToolbarLabel.h"

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QIcon>
#include <QLayout>
#include <QSignalBlocker>
#include <QToolBar>
#include <QWidgetAction>

#include <algorithm>

namespace {

constexpr int kFolderHistoryMax = 10;
constexpr int kFocusOpenDelayMs = 300;

IBrowserHost* App()
{
    return BrowserHost();
}

int Scale()
{
    IBrowserHost* app = App();
    return app ? app->GetDpiScale() : 100;
}

QWidgetAction* ComboAction(QComboBox* combo, int id, QObject* owner)
{
    auto* action = new QWidgetAction(owner);
    action->setDefaultWidget(combo);
    action->setData(id);
    return action;
}

void Execute(int id)
{
    if (IBrowserHost* app = App())
        app->GetCommands().Execute(id);
}

// Thumbnail edge and spacing as the preference pages allow them; the
// profile may hold anything.
int ThumbWidth(const CAppSettings& s)
{
    return std::clamp(s.ThumbWidth, 40, 150);
}

int ThumbSpace(const CAppSettings& s)
{
    return std::clamp(s.ThumbSpace, 3, 30);
}

} // namespace

CBrowseDlg::CBrowseDlg(QWidget* parent)
    : QWidget(parent)
    , m_model(new CFileListModel(this))
    , m_list(new CFileListCtrl(this))
{
    setObjectName(QStringLiteral("BrowseDlg"));
    m_list->setModel(m_model);
    m_model->SetRenameHandler([this](int row, const QString& text) { return OnEndLabelEdit(row, text); });

    m_focusTimer.setSingleShot(true);
    m_focusTimer.setInterval(kFocusOpenDelayMs);
    connect(&m_focusTimer, &QTimer::timeout, this, &CBrowseDlg::OnTimer);
    connect(m_list->selectionModel(), &QItemSelectionModel::currentChanged, this, [this](const QModelIndex& current) {
        if (current.isValid() && m_nQuiet == 0 && !m_list->IsTakingFocus())
            m_focusTimer.start();
    });
    if (IBrowserHost* app = App())
        connect(&app->GetCommands(), &CCommandTable::commandStarting, this, [this] { m_focusTimer.stop(); });
    connect(m_list, &QAbstractItemView::doubleClicked, this, [this] { OpenFocusedItem(); });
    m_list->m_onOpen = [this] { OpenFocusedItem(); };
    m_list->m_imageView = [] {
        return App() ? App()->ImageViewWidget() : nullptr;
    };
    m_list->m_onContextMenu = [](QPoint pos) {
        if (IBrowserHost* app = App())
            app->ShowBrowserContextMenu(pos);
    };

    CreateToolbars(Scale());
    LoadFolderHistory();
    ApplyListLook();
}

CBrowseDlg::~CBrowseDlg()
{
    SaveFolderHistory();
}

void CBrowseDlg::CreateToolbars(int scale)
{
    m_sortCombo = new QComboBox(this);
    m_sortCombo->setObjectName(QStringLiteral("SortCombo"));
    m_sortCombo->addItems({QStringLiteral("Name"), QStringLiteral("File Time")});
    m_sortCombo->setFixedWidth(80 * scale / 100);
    {
        const QSignalBlocker blocker(m_sortCombo);
        m_sortCombo->setCurrentIndex(App() && App()->BrowserSettings().SortType == 1 ? 1 : 0);
    }
    connect(m_sortCombo, &QComboBox::activated, this, [] { Execute(ID_SORT_COMBO); });

    m_folderCombo = new QComboBox(this);
    m_folderCombo->setObjectName(QStringLiteral("FolderCombo"));
    m_folderCombo->setEditable(true);
    m_folderCombo->setInsertPolicy(QComboBox::NoInsert);
    m_folderCombo->setCompleter(nullptr);
    m_folderCombo->setMaxCount(kFolderHistoryMax);
    connect(m_folderCombo, &QComboBox::activated, this, [] { Execute(ID_FOLDER_COMBO); });

    const auto makeBar = [this, scale](const char* name) {
        auto* bar = new QToolBar(this);
        bar->setObjectName(QLatin1String(name));
        bar->setIconSize(QSize(16 * scale / 100, 16 * scale / 100));
        bar->setToolButtonStyle(Qt::ToolButtonIconOnly);
        bar->setMovable(false);
        return bar;
    };
    m_sortBar = makeBar("SortToolbar");
    m_folderBar = makeBar("FolderToolbar");
    m_folderBar->layout()->setSpacing(scale / 50);
    const auto special = [this](int id) -> QAction* {
        switch (id) {
        case ID_SORT_LABEL:
            return new CToolbarLabel(ID_SORT_LABEL, QStringLiteral("Sort by:"), m_sortBar);
        case ID_SORT_COMBO:
            return ComboAction(m_sortCombo, ID_SORT_COMBO, m_sortBar);
        case ID_FOLDER_COMBO:
            return ComboAction(m_folderCombo, ID_FOLDER_COMBO, m_folderBar);
        default:
            return nullptr;
        }
    };
    if (IBrowserHost* app = App()) {
        CMenuBuilder builder(app->GetCommands());
        builder.FillToolBar(m_sortBar, BrowserSortToolbarTemplate(), special);
        builder.FillToolBar(m_folderBar, BrowserFolderToolbarTemplate(), special);
    } else {
        m_sortBar->addAction(special(ID_SORT_COMBO));
        m_folderBar->addAction(special(ID_FOLDER_COMBO));
    }
}

void CBrowseDlg::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    if (IBrowserHost* app = App())
        app->BrowserSettings().PreviewPaneWidth = width();
    LayoutChildren(Scale());
}

void CBrowseDlg::LayoutChildren(int s)
{
    const int w = width();
    const int h = height();
    const int listTop = s * 58 / 100;
    m_list->setGeometry(5, listTop, std::max(0, w - 10), std::max(0, h - 5 - listTop));
    m_sortBar->setGeometry(0, s * 28 / 100 + 3, w, s * 26 / 100);
    m_folderBar->setGeometry(0, 3, w, s * 28 / 100);
    // The folder combo reaches to the room Change Folder needs at the right.
    const QMargins margins = m_folderBar->layout()->contentsMargins();
    m_folderCombo->setFixedWidth(std::max(40, w - s * 28 / 100 - 10 - margins.left()));
    m_folderBar->update();
}

void CBrowseDlg::ApplySpacing()
{
    IBrowserHost* app = App();
    const CAppSettings settings = app ? app->BrowserSettings() : CAppSettings();
    const int box = ThumbWidth(settings);
    const int space = ThumbSpace(settings);
    const int label = settings.ShowThumbFilename ? settings.GetThumbLabelHeight(1) : 0;
    const QSize cell(box + space, box + space + label);
    m_list->Delegate()->SetSizes(box, cell);
    m_list->setIconSize(QSize(box, box));
    m_list->setGridSize(cell);
}

void CBrowseDlg::ApplyListLook()
{
    IBrowserHost* app = App();
    const CAppSettings settings = app ? app->BrowserSettings() : CAppSettings();
    const int box = ThumbWidth(settings);
    m_model->SetPictures(QIcon(QLatin1String(kThumbPlaceholderIcon)).pixmap(box, box),
                         QIcon(QLatin1String(kFolderItemIcon)).pixmap(box, box));
    m_model->SetLabelsShown(settings.ShowThumbFilename != 0);
    ApplySpacing();
    // The application's own family: the original's dialog font name is a
    // Windows alias.
    if (app)
        app->ApplyFont(m_list, settings.GetThumbLabelHeight(0), QApplication::font().family());
}

uint32_t CBrowseDlg::WindowColour() const
{
    const QColor c = m_list->palette().color(QPalette::Base);
    return uint32_t(c.red()) | uint32_t(c.green()) << 8 | uint32_t(c.blue()) << 16;
}

QModelIndex CBrowseDlg::Index(int row) const
{
    return m_model->index(row, 0);
}

void CBrowseDlg::AddItems(std::vector<FileListEntry>&& entries)
{
    int row = GetItemCount();
    for (const FileListEntry& entry : entries)
        m_nameMap.insert(entry.name, row++);
    m_model->Append(std::move(entries));
}

void CBrowseDlg::AddItem(const FileListEntry& entry)
{
    AddItems({entry});
}

void CBrowseDlg::DeleteItem(int index)
{
    if (index < 0 || index >= GetItemCount())
        return;
    if (index == m_nCurrent)
        m_stepFrom = GetEntry(index);
    ++m_nQuiet;
    m_model->Remove(index);
    --m_nQuiet;
    Remap();
    FindCurrentAgain();
}

void CBrowseDlg::DeleteAll()
{
    ++m_nQuiet;
    m_focusTimer.stop();
    m_model->Clear();
    --m_nQuiet;
    m_nameMap.clear();
    m_nCurrent = -1;
    m_strCurrentName.clear();
    m_stepFrom = {};
}

void CBrowseDlg::SortAndRemap(int sortType)
{
    m_nSortType = sortType;
    ++m_nQuiet;
    m_model->Sort(sortType);
    --m_nQuiet;
    Remap();
    FindCurrentAgain();
}

void CBrowseDlg::Remap()
{
    m_nameMap.clear();
    m_nameMap.reserve(qsizetype(GetItemCount()) * 130 / 100);
    for (int i = 0; i < GetItemCount(); ++i)
        m_nameMap.insert(GetEntry(i).name, i);
}

void CBrowseDlg::FindCurrentAgain()
{
    m_nCurrent = m_strCurrentName.isEmpty() ? -1 : FindName(m_strCurrentName);
}

void CBrowseDlg::SetThumbnail(const QString& name, const QImage& picture, int width, int height)
{
    const int row = FindName(name);
    if (row < 0 || GetEntry(row).directory)
        return;
    m_model->SetThumbnail(row, QPixmap::fromImage(picture), width, height);
}

int CBrowseDlg::GetFirstVisible() const
{
    const QSize cell = m_list->gridSize();
    return m_list->indexAt(QPoint(cell.width() / 2, cell.height() / 2)).row();
}

int CBrowseDlg::SelectByName(const QString& path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const int index = FindName(name);
    if (index < 0)
        return -1;
    m_nCurrent = index;
    m_strCurrentName = name;
    m_stepFrom = {};
    const QModelIndex item = Index(index);
    QItemSelectionModel* selection = m_list->selectionModel();
    ++m_nQuiet;
    if (selection->currentIndex() != item || !selection->isSelected(item))
        selection->setCurrentIndex(item, QItemSelectionModel::Select);
    --m_nQuiet;
    m_list->scrollTo(item);
    return index;
}

void CBrowseDlg::ClearCurrent()
{
    if (m_nCurrent >= 0 && m_nCurrent < GetItemCount())
        SetSelected(m_nCurrent, false);
}

void CBrowseDlg::ForgetCurrent()
{
    m_focusTimer.stop();
    SetAllSelected(false);
    SetFocused(-1);
    if (m_nCurrent >= 0)
        m_stepFrom = GetEntry(m_nCurrent);
    m_nCurrent = -1;
    m_strCurrentName.clear();
}

void CBrowseDlg::SetAllSelected(bool selected)
{
    QItemSelectionModel* selection = m_list->selectionModel();
    ++m_nQuiet;
    if (!selected)
        selection->clearSelection();
    else if (GetItemCount() > 0)
        selection->select(QItemSelection(Index(0), Index(GetItemCount() - 1)), QItemSelectionModel::Select);
    --m_nQuiet;
}

void CBrowseDlg::SetSelected(int index, bool selected)
{
    if (index < 0 || index >= GetItemCount())
        return;
    ++m_nQuiet;
    m_list->selectionModel()->select(Index(index), selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
    --m_nQuiet;
}

bool CBrowseDlg::IsSelected(int index) const
{
    return m_list->selectionModel()->isSelected(Index(index));
}

int CBrowseDlg::GetFocusedIndex() const
{
    const QModelIndex current = m_list->selectionModel()->currentIndex();
    return current.isValid() ? current.row() : -1;
}

void CBrowseDlg::SetFocused(int index)
{
    ++m_nQuiet;
    m_list->selectionModel()->setCurrentIndex(Index(index), QItemSelectionModel::NoUpdate);
    --m_nQuiet;
}

std::vector<FileListEntry> CBrowseDlg::GetSelectedEntries() const
{
    std::vector<FileListEntry> entries;
    const int focused = GetFocusedIndex();
    if (focused >= 0)
        entries.push_back(GetEntry(focused));
    QModelIndexList selected = m_list->selectionModel()->selectedIndexes();
    std::sort(selected.begin(), selected.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    for (const QModelIndex& index : selected)
        if (index.row() != focused)
            entries.push_back(GetEntry(index.row()));
    return entries;
}

bool CBrowseDlg::HasSelection() const
{
    return GetFocusedIndex() >= 0 || m_list->selectionModel()->hasSelection();
}

QString CBrowseDlg::GetNameAt(int index) const
{
    if (index < 0)
        index = m_nCurrent;
    return index >= 0 && index < GetItemCount() ? GetEntry(index).name : QString();
}

int CBrowseDlg::FindFile(int from, int step) const
{
    const int count = GetItemCount();
    for (int i = std::clamp(from, -1, count) + step; i >= 0 && i < count; i += step)
        if (!GetEntry(i).directory)
            return i;
    return -1;
}

int CBrowseDlg::GetStepIndex() const
{
    return m_nCurrent >= 0 || m_stepFrom.name.isEmpty() ? m_nCurrent : FindName(m_stepFrom.name);
}

int CBrowseDlg::PlaceOf(const FileListEntry& entry) const
{
    int low = 0;
    int high = GetItemCount();
    while (low < high) {
        const int middle = low + (high - low) / 2;
        if (CFileListModel::SortsBefore(GetEntry(middle), entry, m_nSortType))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

int CBrowseDlg::FindStep(int step) const
{
    const int from = GetStepIndex();
    if (from >= 0 || m_stepFrom.name.isEmpty())
        return FindFile(from, step);
    // Its file is gone: the items around the place it held.
    const int place = PlaceOf(m_stepFrom);
    return FindFile(step > 0 ? place - 1 : place, step);
}

FileListEntry CBrowseDlg::GetStepPlace() const
{
    return m_nCurrent >= 0 ? GetEntry(m_nCurrent) : m_stepFrom;
}

void CBrowseDlg::SetStepPlace(const FileListEntry& place)
{
    if (m_nCurrent < 0)
        m_stepFrom = place;
}

QString CBrowseDlg::GetNextName() const
{
    const int index = FindStep(1);
    return index >= 0 ? GetNameAt(index) : QString();
}

QString CBrowseDlg::GetPrevName() const
{
    const int index = FindStep(-1);
    return index >= 0 ? GetNameAt(index) : QString();
}

// ---- the focus, Enter and the combos ----

void CBrowseDlg::RestoreFocusToCurrent()
{
    QItemSelectionModel* selection = m_list->selectionModel();
    ++m_nQuiet;
    const int focused = GetFocusedIndex();
    if (focused >= 0)
        selection->select(Index(focused), QItemSelectionModel::Deselect);
    if (m_nCurrent >= 0)
        selection->setCurrentIndex(Index(m_nCurrent), QItemSelectionModel::Select);
    else
        selection->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    --m_nQuiet;
}

void CBrowseDlg::OnTimer()
{
    m_focusTimer.stop();
    const int focused = GetFocusedIndex();
    IBrowserHost* app = App();
    // Only a file opens by focus; a folder is entered with Enter or a double click.
    if (!app || focused < 0 || focused == m_nCurrent || GetEntry(focused).directory)
        return;
    if (app->QuerySaveModified())
        app->OpenImage(JoinPath(app->BrowserFolder(), GetEntry(focused).name), 1);
    else
        RestoreFocusToCurrent();
}

void CBrowseDlg::OpenFocusedItem()
{
    const int focused = GetFocusedIndex();
    IBrowserHost* app = App();
    if (!app || focused < 0 || !GetEntry(focused).directory)
        return;
    // The focus timer would open the folder's item over the answer below.
    m_focusTimer.stop();
    if (!app->QuerySaveModified()) {
        RestoreFocusToCurrent();
        return;
    }
    app->ChangeFolder(JoinPath(app->BrowserFolder(), GetEntry(focused).name), 1);
}

void CBrowseDlg::OnSortChange()
{
    IBrowserHost* app = App();
    if (!app)
        return;
    app->BrowserSettings().SortType = m_sortCombo->currentIndex() == 1 ? 1 : 0;
    if (m_resort)
        m_resort();
}

void CBrowseDlg::ShowSortType(int sortType)
{
    const QSignalBlocker blocker(m_sortCombo);
    m_sortCombo->setCurrentIndex(sortType == 1 ? 1 : 0);
}

void CBrowseDlg::ShowFolderText(const QString& folder)
{
    const QSignalBlocker blocker(m_folderCombo);
    m_folderCombo->setEditText(folder);
}

void CBrowseDlg::OnFolderComboSelect()
{
    IBrowserHost* app = App();
    const QString folder = m_folderCombo->itemText(m_folderCombo->currentIndex());
    if (!app || folder.isEmpty())
        return;
    if (!QFileInfo(folder).isDir()) {
        RemoveFolderHistory(folder);
        ShowFolderText(app->BrowserFolder());
        MessageBoxes().ShowMessage(QStringLiteral("The folder %1 no longer exists.").arg(folder));
        return;
    }
    if (app->QuerySaveModified())
        app->ChangeFolder(folder, 1);
    AddFolderHistory(folder);
}

// ---- renaming ----

bool CBrowseDlg::OnEndLabelEdit(int index, const QString& text)
{
    IBrowserHost* app = App();
    if (!app || index < 0 || index >= GetItemCount())
        return false;
    const QString oldName = GetEntry(index).name;
    // A bare name only: nothing that leaves the folder or names it, and
    // something to see.
    if (text.trimmed().isEmpty() || text == QLatin1String(".") || text == QLatin1String("..")
        || text.contains(QLatin1Char('/')) || text.contains(QChar(0))) {
        MessageBoxes().ShowError(QStringLiteral("%1 could not be renamed: \"%2\" is not a valid file name.").arg(oldName, text));
        return false;
    }
    const qsizetype dot = oldName.lastIndexOf(QLatin1Char('.'));
    const QString newName = text + (dot < 0 ? QString() : oldName.mid(dot));
    if (newName == oldName)
        return false;
    const QString from = JoinPath(app->BrowserFolder(), oldName);
    const QString to = JoinPath(app->BrowserFolder(), newName);
    QString error;
    // Never over an existing file.
    if (!TransferFile(FileOperationCode::Move, from, to, false, &error)) {
        MessageBoxes().ShowError(QStringLiteral("%1 could not be renamed to %2.\n%3").arg(oldName, newName, error));
        return false;
    }
    m_nameMap.remove(oldName);
    m_nameMap.insert(newName, index);
    m_model->SetName(index, newName);
    // A thumbnail still queued under the old name would be dropped on arrival.
    if (!GetEntry(index).directory && !m_model->HasThumbnail(index) && m_queueThumbnail)
        m_queueThumbnail(to);
    if (m_strCurrentName == oldName)
        m_strCurrentName = newName;
    if (m_stepFrom.name == oldName)
        m_stepFrom.name = newName;
    if (GetEntry(index).directory)
        RemoveFolderHistory(from);
    app->PathRenamed(from, to);
    return true;
}

// ---- folder history ----

void CBrowseDlg::AddFolderHistory(const QString& folder)
{
    // "|" separates the stored folders.
    if (folder.isEmpty() || folder.contains(QLatin1Char('|')))
        return;
    const QSignalBlocker blocker(m_folderCombo);
    const int same = m_folderCombo->findText(folder, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (same >= 0)
        m_folderCombo->removeItem(same);
    else if (m_folderCombo->count() >= kFolderHistoryMax)
        m_folderCombo->removeItem(m_folderCombo->count() - 1);
    m_folderCombo->insertItem(0, folder);
    m_folderCombo->setCurrentIndex(0);
}

void CBrowseDlg::RemoveFolderHistory(const QString& folder)
{
    const QSignalBlocker blocker(m_folderCombo);
    // The box keeps showing where the list is.
    const QString shown = m_folderCombo->currentText();
    for (int i = m_folderCombo->count() - 1; i >= 0; --i) {
        const QString entry = m_folderCombo->itemText(i);
        if (entry == folder || entry.startsWith(folder + QLatin1Char('/'))) {
            m_folderCombo->removeItem(i);
            m_folderCombo->setEditText(shown);
        }
    }
}

QStringList CBrowseDlg::GetFolderHistory() const
{
    QStringList folders;
    for (int i = 0; i < m_folderCombo->count(); ++i)
        folders << m_folderCombo->itemText(i);
    return folders;
}

void CBrowseDlg::LoadFolderHistory()
{
    const QSignalBlocker blocker(m_folderCombo);
    m_folderCombo->clear();
    const QString stored = CProfile::GetProfileString(QStringLiteral("General"), QStringLiteral("FolderHistory"));
    // Every piece before a "|", and a last one without its "|".
    for (const QString& folder : stored.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        // A folder holding a NUL is no folder; listing it would list another.
        if (IsUsablePath(folder) && m_folderCombo->count() < kFolderHistoryMax)
            m_folderCombo->addItem(folder);
    }
    m_folderCombo->setCurrentIndex(m_folderCombo->count() > 0 ? 0 : -1);
}

void CBrowseDlg::SaveFolderHistory() const
{
    if (!App())
        return;
    QString stored;
    for (const QString& folder : GetFolderHistory())
        stored += folder + QLatin1Char('|');
    CProfile::WriteProfileString(QStringLiteral("General"), QStringLiteral("FolderHistory"), stored);
}
