#include "ProgressBarDlg.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>

#include <algorithm>

CProgressBarDlg::CProgressBarDlg(QWidget* parent)
    : QDialog(parent)
    , m_progress(new QProgressBar(this))
    , m_cancel(new QPushButton(QStringLiteral("Cancel"), this))
{
    setModal(false);
    m_progress->setObjectName(QString::number(kProgressCtrlId));
    m_progress->setTextVisible(false);
    m_progress->setMinimumWidth(240);
    m_cancel->setObjectName(QStringLiteral("Cancel"));
    m_cancel->setAutoDefault(false);
    connect(m_cancel, &QPushButton::clicked, this, &CProgressBarDlg::reject);

    auto* layout = new QHBoxLayout(this);
    layout->addWidget(m_progress, 1);
    layout->addWidget(m_cancel);
}

void CProgressBarDlg::reject()
{
    m_bCancelled = true;
}

void CProgressBarDlg::closeEvent(QCloseEvent* event)
{
    m_bCancelled = true;
    event->ignore();
}

QRect ExpectedFrameGeometry(const QWidget* window)
{
    if (window->isVisible())
        return window->frameGeometry();
    QMargins margins;
    const QWidget* owner = window->parentWidget() ? window->parentWidget()->window() : nullptr;
    if (owner && owner->isVisible()) {
        const QRect outer = owner->frameGeometry();
        const QRect inner = owner->geometry();
        margins = QMargins(inner.left() - outer.left(), inner.top() - outer.top(), outer.right() - inner.right(),
                           outer.bottom() - inner.bottom());
    }
    return QRect(window->pos(), window->size().grownBy(margins));
}

void CProgressBarDlg::PlaceClearOf(const QRect& keepClear)
{
    QRect frame = ExpectedFrameGeometry(this);
    if (!frame.intersects(keepClear))
        return;
    QScreen* screen = QGuiApplication::screenAt(frame.center());
    if (!screen)
        screen = this->screen();
    const QRect area = screen ? screen->availableGeometry() : QRect();

    frame.moveTop(keepClear.bottom() + 1);
    if (area.isValid() && frame.bottom() > area.bottom()) {
        if (keepClear.top() - frame.height() >= area.top())
            frame.moveBottom(keepClear.top() - 1);
        else
            frame.moveBottom(area.bottom()); // no room either side: stay visible
    }
    if (area.isValid()) {
        frame.moveLeft(std::clamp(frame.left(), area.left(), std::max(area.left(), area.right() - frame.width() + 1)));
        frame.moveTop(std::max(frame.top(), area.top()));
    }
    move(frame.topLeft());
}

namespace {

// Swallows user input meant for any window but the progress dialog, so
// nothing edits, saves, closes or replaces the image while the edit that
// owns the dialog is on the stack.
class CInputBlocker final : public QObject {
public:
    explicit CInputBlocker(QWidget* allowed)
        : m_allowed(allowed)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && m_allowed && (widget == m_allowed || m_allowed->isAncestorOf(widget)))
            return false;
        if (!widget) // the shortcuts of actions too
            return event->type() == QEvent::Shortcut;
        switch (event->type()) {
        case QEvent::Shortcut:
            return true;
        case QEvent::ShortcutOverride:
            event->accept(); // taken as a key press, which is swallowed below
            return true;
        case QEvent::Close:
            event->ignore(); // a close event starts accepted
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
        case QEvent::Drop:
        case QEvent::TouchBegin:
            return true;
        default:
            return false;
        }
    }

private:
    QPointer<QWidget> m_allowed;
};

class CProgressBarWindow final : public IProgressWindow {
public:
    explicit CProgressBarWindow(QWidget* mainWindow)
        : m_mainWindow(mainWindow)
    {
        if (m_mainWindow)
            m_mainWindow->setEnabled(false);
        m_dialog = new CProgressBarDlg(mainWindow ? mainWindow->window() : nullptr);
        m_blocker = std::make_unique<CInputBlocker>(m_dialog);
        qApp->installEventFilter(m_blocker.get());
        m_dialog->adjustSize();
        CentreOverOwner();
    }

    ~CProgressBarWindow() override
    {
        qApp->removeEventFilter(m_blocker.get());
        delete m_dialog.data();
        if (m_mainWindow)
            m_mainWindow->setEnabled(true);
    }

    void SetTitle(const QString& title) override
    {
        if (m_dialog)
            m_dialog->setWindowTitle(title);
    }
    void SetRange(int minimum, int maximum) override
    {
        if (m_dialog)
            m_dialog->GetProgressCtrl()->setRange(minimum, maximum);
    }
    void SetPosition(int position) override
    {
        if (m_dialog)
            m_dialog->GetProgressCtrl()->setValue(position);
    }
    void PlaceClearOf(const QRect& screenRect) override
    {
        if (m_dialog)
            m_dialog->PlaceClearOf(screenRect);
    }
    void Show() override
    {
        if (!m_dialog)
            return;
        m_dialog->show();
        // A child of a disabled window is disabled too.
        m_dialog->setEnabled(true);
    }
    bool ProcessEventsOnce() override
    {
        // A dialog that went away cannot be watched any more: stop the edit.
        if (!m_dialog)
            return true;
        m_dialog->setEnabled(true);
        QCoreApplication::processEvents();
        return !m_dialog || m_dialog->IsCancelled();
    }

private:
    // Placed before it is shown, so that keepClear can be tested against
    // where it will appear.
    void CentreOverOwner()
    {
        QRect frame = ExpectedFrameGeometry(m_dialog);
        QRect over;
        if (m_mainWindow && m_mainWindow->window()->isVisible())
            over = m_mainWindow->window()->frameGeometry();
        else if (QScreen* screen = m_dialog->screen())
            over = screen->availableGeometry();
        if (!over.isValid())
            return;
        frame.moveCenter(over.center());
        m_dialog->move(frame.topLeft());
    }

    QPointer<QWidget> m_mainWindow;
    QPointer<CProgressBarDlg> m_dialog;
    std::unique_ptr<CInputBlocker> m_blocker;
};

} // namespace

std::unique_ptr<IProgressWindow> CreateProgressBarWindow(QWidget* mainWindow)
{
    return std::make_unique<CProgressBarWindow>(mainWindow);
}
