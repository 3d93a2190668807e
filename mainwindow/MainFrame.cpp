#include "MainFrame.h"

#include "PixmendApp.h"

#include <QPainter>
#include <QWidget>

#include <algorithm>

// Paints the open image's display bitmap scaled to fit. The bitmap is read at
// every paint, never kept: edits drop and rebuild it.
class CImagePreview : public QWidget {
public:
    explicit CImagePreview(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        CPixmendApp* app = CPixmendApp::Instance();
        if (!app || !app->m_image.IsLoaded() || !app->m_image.HasDib())
            return;
        // The bitmap is padded to whole blocks; show only the image.
        const QImage dib = app->m_image.GetDibImage();
        const QRect source(0, 0, std::min(app->m_image.GetWidth(), dib.width()),
                           std::min(app->m_image.GetHeight(), dib.height()));
        QSize size = source.size();
        if (size.width() > width() || size.height() > height())
            size.scale(this->size(), Qt::KeepAspectRatio);
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(target, dib, source);
    }
};

CMainFrame::CMainFrame()
{
    setAttribute(Qt::WA_DeleteOnClose);
    m_preview = new CImagePreview(this);
    setCentralWidget(m_preview);
}

CMainFrame::~CMainFrame()
{
    if (CPixmendApp* app = CPixmendApp::Instance()) {
        // The frame's position and its client size: what move() and resize() restore.
        app->m_settings.PozX = x();
        app->m_settings.PozY = y();
        app->m_settings.SzX = width();
        app->m_settings.SzY = height();
    }
}

void CMainFrame::ShowImage()
{
    m_preview->update();
}
