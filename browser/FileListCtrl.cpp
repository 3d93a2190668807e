#include "FileListCtrl.h"

#include <QApplication>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QPainter>

CFileListDelegate::CFileListDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

void CFileListDelegate::SetSizes(int box, QSize cell)
{
    m_nBox = box;
    m_cell = cell;
}

QRect CFileListDelegate::PictureRect(const QRect& cell) const
{
    const int margin = std::max(0, (cell.width() - m_nBox) / 2);
    return QRect(cell.left() + margin, cell.top() + margin, m_nBox, m_nBox);
}

void CFileListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    painter->save();
    const QRect picture = PictureRect(option.rect);
    const QPixmap pixmap = index.data(Qt::DecorationRole).value<QPixmap>();
    // Drawn as it is: no selection tint, no colour key.
    if (!pixmap.isNull())
        painter->drawPixmap(picture, pixmap);
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    if (selected) {
        painter->setPen(QPen(palette.color(QPalette::Highlight), 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(picture.adjusted(-1, -1, 1, 1));
    }
    const QString label = index.data(Qt::DisplayRole).toString();
    const QRect text(option.rect.left() + 1, picture.bottom() + 3, option.rect.width() - 2,
                     option.rect.bottom() - picture.bottom() - 3);
    if (!label.isEmpty() && text.height() > 0) {
        const QRect used = painter->boundingRect(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere, label)
                               .intersected(text);
        if (selected)
            painter->fillRect(used, palette.color(QPalette::Highlight));
        painter->setPen(palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
        painter->drawText(text, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWrapAnywhere, label);
    }
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(palette.color(QPalette::Text), 1, Qt::DotLine));
        painter->setBrush(Qt::NoBrush);
        painter->drawRect(option.rect.adjusted(0, 0, -1, -1));
    }
    painter->restore();
}

QSize CFileListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return m_cell;
}

void CFileListDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                             const QModelIndex&) const
{
    const QRect picture = PictureRect(option.rect);
    const int height = editor->sizeHint().height();
    editor->setGeometry(option.rect.left(), picture.bottom() + 2, option.rect.width(), height);
}

CFileListCtrl::CFileListCtrl(QWidget* parent)
    : QListView(parent)
    , m_delegate(new CFileListDelegate(this))
{
    setObjectName(QStringLiteral("FileList"));
    setViewMode(QListView::IconMode);
    setMovement(QListView::Static);
    setResizeMode(QListView::Adjust);
    setWrapping(true);
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    setEditTriggers(QAbstractItemView::EditKeyPressed);
    setItemDelegate(m_delegate);
    setMouseTracking(true);
    viewport()->setMouseTracking(true);
    setContextMenuPolicy(Qt::DefaultContextMenu);
}

void CFileListCtrl::EditFocused()
{
    if (currentIndex().isValid())
        edit(currentIndex(), QAbstractItemView::EditKeyPressed, nullptr);
}

bool CFileListCtrl::IsReturn(const QKeyEvent& event)
{
    return event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter;
}

bool CFileListCtrl::event(QEvent* event)
{
    // Return is the list's own key, not the window's Apply.
    if (event->type() == QEvent::ShortcutOverride && !m_bEditing && IsReturn(*static_cast<QKeyEvent*>(event))) {
        event->accept();
        return true;
    }
    return QListView::event(event);
}

void CFileListCtrl::keyPressEvent(QKeyEvent* event)
{
    if (!m_bEditing && IsReturn(*event)) {
        if (m_onOpen)
            m_onOpen();
        event->accept();
        return;
    }
    QListView::keyPressEvent(event);
}

void CFileListCtrl::focusInEvent(QFocusEvent* event)
{
    // Qt focuses the first item of a list that gets the keyboard without a
    // focused item; here that item would join the selection of the file
    // commands, so the list stays without one.
    const bool hadCurrent = currentIndex().isValid();
    m_bTakingFocus = true;
    QListView::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    m_bTakingFocus = false;
}

void CFileListCtrl::mouseMoveEvent(QMouseEvent* event)
{
    QWidget* view = m_imageView ? m_imageView() : nullptr;
    const QWidget* focus = QApplication::focusWidget();
    if (view && focus && (focus == view || view->isAncestorOf(focus)) && window()->isActiveWindow())
        setFocus(Qt::MouseFocusReason);
    QListView::mouseMoveEvent(event);
}

void CFileListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    if (m_onContextMenu)
        m_onContextMenu(event->globalPos());
    event->accept();
}

bool CFileListCtrl::edit(const QModelIndex& index, EditTrigger trigger, QEvent* event)
{
    const bool started = QListView::edit(index, trigger, event);
    if (started && state() == QAbstractItemView::EditingState)
        m_bEditing = true;
    return started;
}

void CFileListCtrl::closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint)
{
    m_bEditing = false;
    QListView::closeEditor(editor, hint);
}
