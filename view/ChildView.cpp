#include "ChildView.h"
#include "ChildViewMath.h"

#include "CommandIds.h"
#include "CommandTable.h"
#include "KsImage.h"
#include "TextUtil.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QUrl>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kTimerIntervals[3] = {100, 500, 250};

} // namespace

CChildView::CChildView(QWidget* parent, CViewHost* host) : QAbstractScrollArea(parent), m_host(host)
{
    if (!m_host) {
        m_ownHost = std::make_unique<CViewHost>();
        m_host = m_ownHost.get();
    }
    m_actualSizeIndex = static_cast<int>(std::find(kZoomTable.begin(), kZoomTable.end(), 256u) - kZoomTable.begin());
    m_zoomIndex = m_actualSizeIndex;

    // The paint fills the background itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    viewport()->setMouseTracking(true);
    // The right button shows the mode's menu through the host; no Qt menu event travels on.
    viewport()->setContextMenuPolicy(Qt::PreventContextMenu);
    setFocusPolicy(Qt::StrongFocus);
    // Files are dropped on the viewport, which hands the events to the view.
    viewport()->setAcceptDrops(true);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Horizontal, action); });
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this,
            [this](int action) { OnScrollAction(Qt::Vertical, action); });

    for (int i = 0; i < 3; ++i) {
        m_timers[i].setInterval(kTimerIntervals[i]);
        connect(&m_timers[i], &QTimer::timeout, this, [this, i] { OnTimer(i + 1); });
    }
}

CChildView::~CChildView()
{
    StopTimers();
    if (m_image && m_image->GetView() == this)
        m_image->SetView(nullptr);
}

CChildView* CChildView::CreateView(QWidget* parent)
{
    auto* view = new CChildView(parent);
    if (const auto& hook = TheViewAppHooks().commands)
        if (CCommandTable* commands = hook())
            view->RegisterCommands(*commands);
    return view;
}

void CChildView::RegisterCommands(CCommandTable& commands)
{
    // The table may outlive the view.
    QPointer<CChildView> self(this);
    commands.SetHandler(ID_EDIT_SELECT_ALL, [self] {
        if (self)
            self->SelectAll();
    });
    commands.SetUpdate(ID_EDIT_SELECT_ALL, [self](CCmdUI& ui) {
        ui.Enable(self && self->IsImageLoaded() && self->m_host->ModeKeepsSelection());
    });
}

void CChildView::SetHost(CViewHost* host)
{
    if (host) {
        m_host = host;
        return;
    }
    if (!m_ownHost)
        m_ownHost = std::make_unique<CViewHost>();
    m_host = m_ownHost.get();
}

bool CChildView::IsImageLoaded() const
{
    return m_image && m_image->IsLoaded();
}

bool CChildView::IsPasteMode() const
{
    return m_host->CurrentModeId() == ID_EDIT_PASTE;
}

// ---- IView ----

void CChildView::OnImageChanged()
{
    ++m_imageChanges;
    // A quarter turn, or its undo or redo, may have changed the grid (a 4:2:2
    // image's 16 x 8 MCU becomes 8 x 16): the selection snaps to the new one.
    if (IKestrel* lib = m_image ? m_image->GetLibraryObject() : nullptr) {
        m_mcuHeight = lib->GetMcuHeight();
        m_mcuWidth = lib->GetMcuWidth();
    }
    CancelSelection(false);
}

void CChildView::SwapDimensions()
{
    std::swap(m_mcuWidth, m_mcuHeight);
    CropParams& s = m_host->Selection();
    std::swap(s.Left, s.Top);
    std::swap(s.Right, s.Bottom);
}

// ---- image, zoom and scrolling ----

void CChildView::AttachImage(CKsImage* image)
{
    m_image = image;
    m_preview = QImage();
    m_dragging = m_selectionShown = m_movingSelection = m_panning = false;
    m_handle = 0;
    if (!image) {
        m_mcuWidth = m_mcuHeight = 0;
        m_centerX = m_centerY = 0;
        m_zoomedWidth = m_zoomedHeight = 0;
    } else {
        IKestrel* lib = image->GetLibraryObject();
        m_mcuHeight = lib ? lib->GetMcuHeight() : 0;
        m_mcuWidth = lib ? lib->GetMcuWidth() : 0;
        // The centre is in screen pixels of the current zoom.
        m_previousZoom = m_zoom;
        m_centerX = GetZoomedWidth() / 2;
        m_centerY = GetZoomedHeight() / 2;
        const int scale = m_host->Settings().ScaleOnOpen;
        if (scale == 1)
            ZoomToFit(true);
        else if (scale == 2)
            ZoomActual();
    }
    ResetModeSelection();
    UpdateScrollBars();
    UpdateScrollBars();
    UpdateView(true);
    viewport()->update();
}

void CChildView::UpdateView(bool notifyFrame)
{
    if (!m_image)
        return;
    if (m_previousZoom != 0) {
        // Signed: the centre may lie outside after keyboard scrolling of a small image.
        m_centerX = ClampToInt(static_cast<int64_t>(m_centerX) * m_zoom / m_previousZoom);
        m_centerY = ClampToInt(static_cast<int64_t>(m_centerY) * m_zoom / m_previousZoom);
    }
    m_previousZoom = m_zoom;
    if (notifyFrame)
        m_host->OnViewChanged(*this);
    UpdateScrollBars();
    viewport()->update();
}

int CChildView::GetZoomedWidth() const
{
    if (!IsImageLoaded())
        return 0;
    return ClampToInt((static_cast<int64_t>(m_image->GetWidth()) * m_zoom) >> 8);
}

int CChildView::GetZoomedHeight() const
{
    if (!IsImageLoaded())
        return 0;
    return ClampToInt((static_cast<int64_t>(m_image->GetHeight()) * m_zoom) >> 8);
}

void CChildView::ZoomIn()
{
    if (m_zoomIndex >= 0 && m_zoomIndex < static_cast<int>(kZoomTable.size())) {
        m_zoomIndex = std::min(m_zoomIndex + 1, static_cast<int>(kZoomTable.size()) - 1);
    } else {
        // A free zoom goes to the first step not below it.
        const auto it = std::lower_bound(kZoomTable.begin(), kZoomTable.end(), m_zoom);
        m_zoomIndex = std::min(static_cast<int>(it - kZoomTable.begin()), static_cast<int>(kZoomTable.size()) - 1);
    }
    m_zoom = kZoomTable[m_zoomIndex];
    UpdateView(true);
}

void CChildView::ZoomOut()
{
    if (m_zoomIndex >= 0 && m_zoomIndex < static_cast<int>(kZoomTable.size())) {
        m_zoomIndex = std::max(m_zoomIndex - 1, 0);
    } else {
        const auto it = std::lower_bound(kZoomTable.begin(), kZoomTable.end(), m_zoom);
        m_zoomIndex = std::max(static_cast<int>(it - kZoomTable.begin()) - 1, 0);
    }
    m_zoom = kZoomTable[m_zoomIndex];
    UpdateView(true);
}

bool CChildView::CanZoom(bool in) const
{
    if (m_zoomIndex == -1)
        return true;
    return in ? m_zoomIndex < static_cast<int>(kZoomTable.size()) - 1 : m_zoomIndex > 0;
}

void CChildView::ZoomActual()
{
    m_zoom = 256;
    m_zoomIndex = m_actualSizeIndex;
    UpdateScrollBars();
    UpdateView(true);
}

void CChildView::SetZoomIndex(int index)
{
    if (index < 0 || index >= static_cast<int>(kZoomTable.size()))
        return;
    m_zoomIndex = index;
    m_zoom = kZoomTable[index];
    UpdateView(true);
}

void CChildView::ZoomToFit(bool onlyShrink)
{
    if (!IsImageLoaded())
        return;
    const int width = m_image->GetWidth();
    const int height = m_image->GetHeight();
    if (width <= 0 || height <= 0)
        return;
    // At the smallest zoom the bars go, so the client is as large as it gets.
    m_zoom = 1;
    UpdateScrollBars();
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    if (onlyShrink && width <= cw && height <= ch) {
        ZoomActual();
        return;
    }
    m_zoom = FitZoom(cw, ch, width, height);
    m_zoomIndex = -1;
    UpdateView(true);
}

bool CChildView::ShowPreview(const QImage& picture, QSize imageSize)
{
    m_preview = picture;
    m_previewImageSize = imageSize;
    if (IsImageLoaded() || PreviewRect().isEmpty())
        m_preview = QImage();
    viewport()->update();
    return HasPreview();
}

QRect CChildView::PreviewRect() const
{
    // As ZoomToFit(true) will place the photo: without scroll bars, centred.
    const int width = m_previewImageSize.width();
    const int height = m_previewImageSize.height();
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    if (m_host->Settings().ScaleOnOpen != 1 || width <= 0 || height <= 0 || (width <= cw && height <= ch))
        return QRect();
    const unsigned zoom = FitZoom(cw, ch, width, height);
    const int zw = ClampToInt((static_cast<int64_t>(width) * zoom) >> 8);
    const int zh = ClampToInt((static_cast<int64_t>(height) * zoom) >> 8);
    return QRect((cw - zw) / 2, (ch - zh) / 2, zw, zh);
}

void CChildView::ZoomToSelection()
{
    if (!m_selectionShown || m_host->CurrentModeId() != ID_EDIT_SELECT || !IsImageLoaded())
        return;
    CropParams& s = m_host->Selection();
    NormalizeSelection(s);
    const int64_t sw = static_cast<int64_t>(s.Right) - s.Left;
    const int64_t sh = static_cast<int64_t>(s.Bottom) - s.Top;
    // A selection without width or height has no zoom that shows it.
    if (sw <= 0 || sh <= 0)
        return;
    const int64_t z = std::min(static_cast<int64_t>(viewport()->height()) * 256 / sh,
                               static_cast<int64_t>(viewport()->width()) * 256 / sw);
    m_zoom = static_cast<unsigned>(std::clamp<int64_t>(z, kZoomTable.front(), kZoomTable.back()));
    m_previousZoom = m_zoom;
    m_zoomIndex = -1;
    m_centerX = ClampToInt(static_cast<int64_t>(m_zoom) * (s.Left + sw / 2) / 256);
    m_centerY = ClampToInt(static_cast<int64_t>(m_zoom) * (s.Top + sh / 2) / 256);
    UpdateView(true);
}

void CChildView::UpdateScrollBars()
{
    if (m_inScrollUpdate)
        return;
    m_inScrollUpdate = true;
    auto updateBar = [this](Qt::Orientation orientation, int zoomed, int client, int& centre, ScrollInfo& info) {
        QScrollBar* bar = orientation == Qt::Horizontal ? horizontalScrollBar() : verticalScrollBar();
        Qt::ScrollBarPolicy policy = Qt::ScrollBarAlwaysOff;
        if (client < zoomed) {
            centre = std::max(centre, client / 2);
            centre = std::min(centre, zoomed + client / 2 - client);
            info.visible = true;
            info.maximum = zoomed - 1;
            info.page = client;
            info.pos = centre - client / 2;
            const QSignalBlocker block(bar);
            bar->setRange(0, zoomed - client);
            bar->setPageStep(client);
            bar->setSingleStep(8);
            bar->setValue(info.pos);
            policy = Qt::ScrollBarAlwaysOn;
        } else {
            info = ScrollInfo();
        }
        if (orientation == Qt::Horizontal && horizontalScrollBarPolicy() != policy)
            setHorizontalScrollBarPolicy(policy);
        else if (orientation == Qt::Vertical && verticalScrollBarPolicy() != policy)
            setVerticalScrollBarPolicy(policy);
    };
    // Showing or hiding one bar changes the client size the other depends on.
    // Each round clamps the centre as it came in: a clamp to a client size
    // the bars then change would leave the view off the edge it was held to.
    const int centerX = m_centerX;
    const int centerY = m_centerY;
    for (int round = 0; round < 3; ++round) {
        const QSize before = viewport()->size();
        m_centerX = centerX;
        m_centerY = centerY;
        updateBar(Qt::Horizontal, GetZoomedWidth(), before.width(), m_centerX, m_horizontalInfo);
        updateBar(Qt::Vertical, GetZoomedHeight(), before.height(), m_centerY, m_verticalInfo);
        if (viewport()->size() == before)
            break;
    }
    m_inScrollUpdate = false;
    UpdateOrigin();
}

void CChildView::OnScrollAction(Qt::Orientation orientation, int action)
{
    const bool horizontal = orientation == Qt::Horizontal;
    QScrollBar* bar = horizontal ? horizontalScrollBar() : verticalScrollBar();
    const ScrollInfo& info = horizontal ? m_horizontalInfo : m_verticalInfo;
    int& centre = horizontal ? m_centerX : m_centerY;
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub: centre -= 8; break;
    case QAbstractSlider::SliderSingleStepAdd: centre += 8; break;
    case QAbstractSlider::SliderPageStepSub: centre -= 16; break;
    case QAbstractSlider::SliderPageStepAdd: centre += 16; break;
    case QAbstractSlider::SliderMove: centre = bar->sliderPosition() + info.page / 2; break;
    case QAbstractSlider::SliderToMinimum: centre = 0; break;
    case QAbstractSlider::SliderToMaximum: centre = horizontal ? GetZoomedWidth() : GetZoomedHeight(); break;
    default: return;
    }
    UpdateScrollBars();
    // The bar finishes its action with this position, not its own.
    bar->setSliderPosition(info.pos);
    viewport()->update();
}

void CChildView::scrollContentsBy(int, int)
{
    // Positions come from the centre; the bars only report actions.
    viewport()->update();
}

void CChildView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CChildView::UpdateOrigin()
{
    m_zoomedWidth = GetZoomedWidth();
    m_zoomedHeight = GetZoomedHeight();
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    m_originX = cw < m_zoomedWidth ? -m_horizontalInfo.pos : (cw - m_zoomedWidth) / 2;
    m_originY = ch < m_zoomedHeight ? -m_verticalInfo.pos : (ch - m_zoomedHeight) / 2;
}

bool CChildView::IsPointInImage(int x, int y) const
{
    return x >= m_originX && x < m_originX + m_zoomedWidth && y >= m_originY && y < m_originY + m_zoomedHeight &&
           x < viewport()->width() - 2 && y < viewport()->height() - 2;
}

QPoint CChildView::ImagePoint(int x, int y) const
{
    QPoint p;
    ScalePoint(&p, x - m_originX, y - m_originY, 256, static_cast<int>(m_zoom));
    return p;
}

// ---- timers ----

void CChildView::StartSelectionTimer()
{
    m_timers[0].start();
    m_timers[1].stop();
    m_timers[2].stop();
}

void CChildView::StartRedEyeTimer()
{
    m_timers[0].stop();
    m_timers[1].start();
    m_timers[2].stop();
}

void CChildView::StartTextTimer()
{
    m_timers[0].stop();
    m_timers[1].stop();
    m_timers[2].start();
}

void CChildView::StopTimers()
{
    for (QTimer& timer : m_timers)
        timer.stop();
}

bool CChildView::IsTimerActive(int id) const
{
    return id >= 1 && id <= 3 && m_timers[id - 1].isActive();
}

void CChildView::OnTimer(int id)
{
    if (!IsImageLoaded())
        return;
    switch (id) {
    case 1:
        if (m_selectionShown && m_host->CropOptions().RunningAnts) {
            // The outline marches: 6, 5, ..., 0, -1, then 6 again.
            m_antsPhase = m_antsPhase <= -1 ? 6 : m_antsPhase - 1;
            InvalidateSelectionOutline();
        }
        break;
    case 2:
        m_blinkOn = !m_blinkOn;
        m_host->RedEyeRefreshPreview(*this);
        break;
    case 3:
        // Only the frames march: the picture under them is kept.
        if (m_host->TextModeHasText())
            viewport()->update(m_host->TextModeFrameRegion(m_originX, m_originY, m_zoom));
        break;
    default: break;
    }
}

// ---- dropped files ----

void CChildView::dragEnterEvent(QDragEnterEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (data && data->hasUrls() && !data->urls().isEmpty() && data->urls().first().isLocalFile())
        event->acceptProposedAction();
    else
        event->ignore();
}

void CChildView::dragMoveEvent(QDragMoveEvent* event)
{
    event->acceptProposedAction();
}

void CChildView::dropEvent(QDropEvent* event)
{
    const QMimeData* data = event->mimeData();
    if (!data || !data->hasUrls() || data->urls().isEmpty()) {
        event->ignore();
        return;
    }
    // Only the first file is opened; the rest are ignored.
    const QUrl first = data->urls().first();
    if (!first.isLocalFile()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    m_host->OpenDroppedFile(first.toLocalFile());
}
