// CFileListCtrl: the folder browser's list, an icon-mode list view with a
// grid of equal cells. Each cell shows its row's picture unchanged (a
// selected one framed in the highlight colour) with the name below.
//
// Keys: Return opens the focused item ahead of the window's own Return
// (which would apply the current mode); F2 edits the focused label, and while
// a label is edited the editor has every key (Return commits, Esc cancels).
// A mouse move over the list takes the keyboard from the image view while
// the window is active.
#pragma once

#include <QListView>
#include <QStyledItemDelegate>

#include <functional>

class CFileListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit CFileListDelegate(QObject* parent = nullptr);

    // Edge of the picture box and the cell; labels take the rest of the cell.
    void SetSizes(int box, QSize cell);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

private:
    QRect PictureRect(const QRect& cell) const;

    int m_nBox = 94;
    QSize m_cell{104, 128};
};

class CFileListCtrl : public QListView {
    Q_OBJECT
public:
    explicit CFileListCtrl(QWidget* parent = nullptr);

    CFileListDelegate* Delegate() const { return m_delegate; }
    bool IsEditing() const { return m_bEditing; }
    // True while taking the keyboard, when the view may focus an item by itself.
    bool IsTakingFocus() const { return m_bTakingFocus; }
    // Edits the label of the focused item.
    void EditFocused();

    // Return or a double click; the view that takes the keyboard on a mouse
    // move; the context menu at a screen point.
    std::function<void()> m_onOpen;
    std::function<QWidget*()> m_imageView;
    std::function<void(QPoint globalPos)> m_onContextMenu;

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool edit(const QModelIndex& index, EditTrigger trigger, QEvent* event) override;
    void closeEditor(QWidget* editor, QAbstractItemDelegate::EndEditHint hint) override;

private:
    static bool IsReturn(const QKeyEvent& event);

    CFileListDelegate* m_delegate;
    bool m_bEditing = false;
    bool m_bTakingFocus = false;
};
