#include "BatchProgress.h"

#include "DlgItems.h"

#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <algorithm>

namespace {

constexpr int kExposeWaitMs = 2000;

// Ends `loop` once `window` is exposed.
class CExposeWatch : public QObject {
public:
    CExposeWatch(QWindow* window, QEventLoop* loop) : m_window(window), m_loop(loop) { window->installEventFilter(this); }
    ~CExposeWatch() override { m_window->removeEventFilter(this); }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_window && event->type() == QEvent::Expose && m_window->isExposed())
            m_loop->quit();
        return false;
    }

private:
    QWindow* m_window;
    QEventLoop* m_loop;
};

} // namespace

CBatchProgress::CBatchProgress()
    : QDialog(nullptr)
{
    setWindowTitle(QStringLiteral("Pixmend"));
    m_text = new QLabel(this);
    SetDlgItemId(m_text, IDC_TEXT);
    m_text->setTextFormat(Qt::PlainText);
    m_bar = new QProgressBar(this);
    SetDlgItemId(m_bar, IDC_PROGRESS);
    m_bar->setTextVisible(false);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_text);
    layout->addWidget(m_bar);
    // Room for the longest text of any run, so the window never resizes.
    m_text->setMinimumWidth(fontMetrics().horizontalAdvance(Text(2147483647, 2147483647)));
}

void CBatchProgress::Open(int total, QWidget* centreOn)
{
    m_nTotal = std::max(total, 0);
    // A range of 0..0 would make the bar a busy indicator.
    m_bar->setRange(0, std::max(m_nTotal, 1));
    m_text->setText(Text(0, m_nTotal));
    adjustSize();
    if (centreOn) {
        const QPoint origin = centreOn->mapToGlobal(QPoint(0, 0));
        move(origin + QPoint((centreOn->width() - width()) / 2, (centreOn->height() - height()) / 2));
    }
    show();
    WaitForExposure();
    SetPosition(0);
}

void CBatchProgress::WaitForExposure()
{
    QWindow* window = windowHandle();
    if (!window || window->isExposed())
        return;
    QEventLoop loop;
    const CExposeWatch watch(window, &loop);
    QTimer::singleShot(kExposeWaitMs, &loop, &QEventLoop::quit);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

void CBatchProgress::SetPosition(int pos)
{
    m_text->setText(Text(pos, m_nTotal));
    m_bar->setValue(std::clamp(pos, 0, m_bar->maximum()));
    repaint();
}

QString CBatchProgress::Text(int pos, int total)
{
    return QString::asprintf("Processing Image %d of %d.", pos, total);
}
