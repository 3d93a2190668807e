#include "ChildView.h"

#include "ColorRef.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "DashedLine.h"
#include "KsImage.h"
#include "MainFrame.h"
#include "PageCropGeneral.h"
#include "PixmendApp.h"
#include "TextUtil.h"
#include "ViewCursors.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QRegion>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QUrl>
#include <QWheelEvent>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <utility>

namespace {

constexpr int kTimerIntervals[3] = {100, 500, 250};

// Handles: 1 top, 2 right, 3 bottom, 4 left, 5 top-right, 6 bottom-right,
// 7 bottom-left, 8 top-left.
bool HandleMovesLeft(int h)
{
    return h == 4 || h == 7 || h == 8;
}
bool HandleMovesRight(int h)
{
    return h == 2 || h == 5 || h == 6;
}
bool HandleMovesTop(int h)
{
    return h == 1 || h == 5 || h == 8;
}
bool HandleMovesBottom(int h)
{
    return h == 3 || h == 6 || h == 7;
}

int HandleCursor(int handle)
{
    switch (handle) {
    case 1:
    case 3: return -10;
    case 2:
    case 4: return -9;
    case 5:
    case 7: return -8;
    case 6:
    case 8: return -7;
    default: return 0;
    }
}

int ClampToInt(int64_t v)
{
    return v < INT_MIN ? INT_MIN : v > INT_MAX ? INT_MAX : static_cast<int>(v);
}

// One axis of the grid alignment: snaps lo (and hi as the options say) to
// the nearest multiple of mcu that keeps the selection inside `extent`.
void AlignAxis(int& lo, int& hi, int mcu, int extent, bool moving, bool alignEnd)
{
    const int size = hi - lo;
    int r = std::abs(lo % mcu);
    if (r > mcu / 2 && extent - lo > mcu - r) {
        // To the next grid line instead, unless a moved selection would leave the image.
        if (!(moving && extent - hi < mcu - r))
            r -= mcu;
    }
    lo = lo >= 0 ? lo - r : lo + r;
    int r2 = std::abs(hi % mcu);
    if (r2 > mcu / 2 && extent - hi > mcu - r2)
        r2 -= mcu;
    if (alignEnd)
        hi -= r2;
    else if (moving)
        hi = lo + size;
    if (hi == lo)
        hi = lo + mcu;
}

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
    if (CPixmendApp* app = CPixmendApp::Instance())
        view->RegisterCommands(app->GetCommands());
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
    const int64_t byHeight = static_cast<int64_t>(ch) * 256 / height;
    const int64_t byWidth = static_cast<int64_t>(cw) * 256 / width;
    m_zoom = static_cast<unsigned>(std::clamp<int64_t>(std::min(byHeight, byWidth), 1, INT_MAX));
    m_zoomIndex = -1;
    UpdateView(true);
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
    for (int round = 0; round < 3; ++round) {
        const QSize before = viewport()->size();
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

// ---- painting ----

QRect CChildView::SelectionClientRect() const
{
    const CropParams& s = m_host->Selection();
    QPoint a;
    QPoint b;
    ScalePoint(&a, s.Left, s.Top, static_cast<int>(m_zoom), 256);
    ScalePoint(&b, s.Right, s.Bottom, static_cast<int>(m_zoom), 256);
    // The stored edges may be anything; keep the client rectangle in a range
    // where its sums cannot overflow.
    static constexpr int64_t kLimit = 1 << 28;
    auto clamp = [](int64_t v) { return static_cast<int>(std::clamp(v, -kLimit, kLimit)); };
    const int l = clamp(static_cast<int64_t>(std::min(a.x(), b.x())) + m_originX);
    const int t = clamp(static_cast<int64_t>(std::min(a.y(), b.y())) + m_originY);
    const int r = clamp(static_cast<int64_t>(std::max(a.x(), b.x())) + m_originX);
    const int bottom = clamp(static_cast<int64_t>(std::max(a.y(), b.y())) + m_originY);
    return QRect(l, t, r - l, bottom - t);
}

void CChildView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    const QRect client = viewport()->rect();
    const QColor background = FromColorRef(m_host->Settings().BackgroundColor);
    if (!IsImageLoaded()) {
        painter.fillRect(client, background);
        return;
    }
    UpdateOrigin();
    QRegion backgroundRegion = QRegion(client) - QRegion(m_originX, m_originY, m_zoomedWidth, m_zoomedHeight);
    // The crop mode paints its own selection where it reaches beyond the image.
    if (m_selectionShown && m_host->CurrentModeId() == ID_EDIT_CROP)
        backgroundRegion -= QRegion(SelectionClientRect());

    const QImage bitmap = m_host->ModeDisplayImage(*this, *m_image);
    if (bitmap.isNull() || bitmap.depth() % 8 != 0)
        backgroundRegion += QRegion(m_originX, m_originY, m_zoomedWidth, m_zoomedHeight) & QRegion(client);
    else
        PaintImage(painter, bitmap);

    for (const QRect& r : backgroundRegion)
        painter.fillRect(r, background);
    m_host->ModeDrawOverlay(painter, *this);
    if (m_host->TextModeHasText())
        m_host->TextModeDrawFrame(painter, m_originX, m_originY, m_zoom);
}

void CChildView::PaintImage(QPainter& painter, const QImage& bitmap)
{
    const int cw = viewport()->width();
    const int ch = viewport()->height();
    const float f = std::max(static_cast<float>(m_zoom) / 256.0f, 1.0f);
    // A partly hidden first pixel keeps its phase.
    const int dx = m_originX >= 0 ? m_originX : -FloatModulo(-m_originX, f);
    const int dy = m_originY >= 0 ? m_originY : -FloatModulo(-m_originY, f);
    const int dw = cw >= m_zoomedWidth ? m_zoomedWidth
                                       : static_cast<int>(cw + (f > 1 ? 2 * f : 0) - FloatModulo(cw, f));
    const int dh = ch >= m_zoomedHeight ? m_zoomedHeight
                                        : static_cast<int>(ch + (f > 1 ? 2 * f : 0) - FloatModulo(ch, f));
    int sx = static_cast<int>(static_cast<int64_t>(m_originX < 0 ? dx - m_originX : 0) * 256 / m_zoom);
    int sy = static_cast<int>(static_cast<int64_t>(m_originY < 0 ? dy - m_originY : 0) * 256 / m_zoom);
    int sw = static_cast<int>(static_cast<int64_t>(cw > m_zoomedWidth ? m_zoomedWidth : dw) * 256 / m_zoom);
    int sh = static_cast<int>(static_cast<int64_t>(ch > m_zoomedHeight ? m_zoomedHeight : dh) * 256 / m_zoom);
    if (sw <= 0 || sh <= 0 || dw <= 0 || dh <= 0 || sx >= bitmap.width() || sy >= bitmap.height())
        return;

    // The source never reaches past the bitmap; the target shrinks with it.
    QRectF target(dx, dy, dw, dh);
    if (sx + sw > bitmap.width()) {
        target.setWidth(target.width() * (bitmap.width() - sx) / sw);
        sw = bitmap.width() - sx;
    }
    if (sy + sh > bitmap.height()) {
        target.setHeight(target.height() * (bitmap.height() - sy) / sh);
        sh = bitmap.height() - sy;
    }

    // Only the visible rows and columns, read in place: an image over the
    // bitmap's own memory starting at a 4-byte aligned column of the first
    // visible row, so no pixel outside the source rectangle is touched.
    const int bytesPerPixel = bitmap.depth() / 8;
    const int x0 = sx & ~3;
    const qsizetype stride = bitmap.bytesPerLine();
    const uchar* first = bitmap.constBits() + static_cast<qsizetype>(sy) * stride + static_cast<qsizetype>(x0) * bytesPerPixel;
    const QImage visible(first, sx + sw - x0, sh, stride, bitmap.format());

    if (m_zoom < 256 && m_host->Settings().DrawMode == 1)
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(target, visible, QRectF(sx - x0, 0, sw, sh));
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
}

QRect CChildView::DrawSelectionFrame(QPainter& painter)
{
    const QRect r = SelectionClientRect();
    const int l = r.left();
    const int t = r.top();
    const int right = l + r.width();
    const int bottom = t + r.height();
    const QRect clip = viewport()->rect().adjusted(-1, -1, 1, 1);
    if (m_host->CropOptions().RunningAnts) {
        DrawDashedFrame(painter, l, t, right, bottom, m_antsPhase, clip);
        return r;
    }
    const int w = right - l;
    const int h = bottom - t;
    if (w <= 0 || h <= 0)
        return r;
    DrawEtchedEdge(painter, l, t, right, bottom);
    // The focus rectangle: every other pixel inverted, moved in at the left and top.
    if (w > 1 && h > 1) {
        painter.save();
        painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
        QPen pen(Qt::white, 0, Qt::CustomDashLine);
        pen.setDashPattern({1, 1});
        painter.setPen(pen);
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.drawLine(l + 1, t + 1, right - 1, t + 1);
        painter.drawLine(l + 1, bottom - 1, right - 1, bottom - 1);
        painter.drawLine(l + 1, t + 2, l + 1, bottom - 2);
        painter.drawLine(right - 1, t + 2, right - 1, bottom - 2);
        painter.restore();
    }
    return r;
}

void CChildView::InvalidateSelectionOutline()
{
    const QRect r = SelectionClientRect();
    const QRect outer = r.adjusted(-2, -2, 3, 3);
    QRegion band(outer);
    if (r.width() > 6 && r.height() > 6)
        band -= QRegion(r.adjusted(3, 3, -3, -3));
    viewport()->update(band & QRegion(viewport()->rect()));
}

// ---- selection ----

void CChildView::CancelSelection(bool lastOnly)
{
    m_host->ModeCancel(*this, lastOnly);
    UpdateView(true);
}

void CChildView::ResetModeSelection()
{
    const CropParams& s = m_host->Selection();
    if (m_host->ModeKeepsSelection() && s.Right > s.Left && s.Bottom > s.Top)
        m_host->ModeResetSelection(*this);
}

void CChildView::AlignSelection()
{
    const CropParams& crop = m_host->CropOptions();
    const int mode = m_host->CurrentModeId();
    if ((crop.AlignSelectionByBlock == 0 && m_host->TextModeHasText()) || mode == ID_EDIT_PASTE || mode == ID_EDIT_SELECT)
        return;
    if (!IsImageLoaded() || m_mcuWidth <= 0 || m_mcuHeight <= 0)
        return;
    CropParams& s = m_host->Selection();
    const bool alignEnd = crop.AlignSelectionByBlockSE != 0 && ListedCropPreset(crop.CropPreset) == 0;
    AlignAxis(s.Top, s.Bottom, m_mcuHeight, m_image->GetHeight(), m_movingSelection, alignEnd);
    AlignAxis(s.Left, s.Right, m_mcuWidth, m_image->GetWidth(), m_movingSelection, alignEnd);
}

void CChildView::SelectAll()
{
    if (!IsImageLoaded())
        return;
    m_selectionShown = true;
    CropParams& s = m_host->Selection();
    SetSelectionRect(s, 0, 0, m_image->GetWidth(), m_image->GetHeight());
    AlignSelection();
    UpdateView(true);
}

int CChildView::FindHandle(QPoint p) const
{
    const CropParams& s = m_host->Selection();
    const int64_t z = m_zoom;
    const bool nearLeft = std::abs(static_cast<int64_t>(s.Left) - p.x()) * z / 256 < 5;
    const bool nearTop = std::abs(static_cast<int64_t>(s.Top) - p.y()) * z / 256 < 5;
    // The right and bottom edges are exclusive: their reach grows with the zoom.
    const bool nearRight = std::abs(static_cast<int64_t>(s.Right) - p.x()) * z / 256 < z / 256 + 5;
    const bool nearBottom = std::abs(static_cast<int64_t>(s.Bottom) - p.y()) * z / 256 < z / 256 + 5;
    int handle = 0;
    if (nearTop && nearRight)
        handle = 5;
    else if (nearBottom && nearRight)
        handle = 6;
    else if (nearBottom && nearLeft)
        handle = 7;
    else if (nearTop && nearLeft)
        handle = 8;
    else if (nearTop)
        handle = 1;
    else if (nearRight)
        handle = 2;
    else if (nearBottom)
        handle = 3;
    else if (nearLeft)
        handle = 4;
    if (m_host->CurrentModeId() == ID_EDIT_CROP) {
        const int rule = m_host->CropRuleKind();
        if (rule == 1)
            return 0; // a fixed size can only be moved
        if (rule >= 0) {
            if (handle == 5 || handle == 6)
                handle = 2;
            else if (handle == 7 || handle == 8)
                handle = 1;
        }
    }
    return handle;
}

// ---- mouse ----

void CChildView::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        LeftButtonDown(pos.x(), pos.y());
    else if (event->button() == Qt::RightButton)
        RightButtonDown(event->globalPosition().toPoint());
    event->accept();
}

void CChildView::LeftButtonDown(int x, int y)
{
    setFocus(Qt::MouseFocusReason);
    m_lastX = x;
    m_lastY = y;
    const QPoint p = ImagePoint(x, y);
    const int mode = m_host->CurrentModeId();
    const CropParams& crop = m_host->CropOptions();
    CropParams& s = m_host->Selection();
    m_panning = false;
    if (m_spaceHeld) {
        m_dragging = true;
        m_panning = true;
    } else if (m_selectionShown && SelectionContains(s, p.x(), p.y())) {
        m_pressX = x;
        m_pressY = y;
        m_movingSelection = m_handle == 0;
        m_dragging = true;
    } else if (!m_host->ModeKeepsSelection()) {
        if (mode < 0 || !m_host->ModeOnClick(*this, p.x(), p.y())) {
            m_dragging = true;
            m_panning = true;
        }
    } else if (!m_selectionShown || crop.AutoCancelSelection || mode == ID_EDIT_SELECT) {
        if ((mode == ID_EDIT_CROP && crop.AllowOutwardSel) || IsPointInImage(x, y)) {
            m_dragging = true;
            m_pressX = x;
            m_pressY = y;
            SetSelectionRect(s, p.x(), p.y(), p.x(), p.y());
            m_selectionShown = true;
            AlignSelection();
        }
    }
    UpdateView(true);
    UpdateCursor(x, y);
}

void CChildView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    MouseMoveTo(pos.x(), pos.y());
    event->accept();
}

void CChildView::MouseMoveTo(int x, int y)
{
    const int mode = m_host->CurrentModeId();
    const CropParams& crop = m_host->CropOptions();
    CropParams& s = m_host->Selection();
    int dxComputed = 0;
    int dyComputed = 0;
    int dx = 0;
    int dy = 0;
    if (!m_dragging) {
        if (m_host->BrowserListHasFocus() && window()->isActiveWindow())
            setFocus(Qt::OtherFocusReason);
        const QPoint p = ImagePoint(x, y);
        m_handle = 0;
        if (m_selectionShown && SelectionContains(s, p.x(), p.y()) && !IsPasteMode())
            m_handle = FindHandle(p);
    } else if ((m_spaceHeld || mode == ID_EDIT_DRAG) && IsPointInImage(x, y)) {
        m_centerX += m_lastX - x;
        m_centerY += m_lastY - y;
        UpdateView(true);
    } else if (m_panning) {
        // A pan that leaves the image stops; it never turns into a selection edit.
    } else {
        QPoint last;
        QPoint current;
        ScalePoint(&last, m_lastX, m_lastY, 256, static_cast<int>(m_zoom));
        ScalePoint(&current, x, y, 256, static_cast<int>(m_zoom));
        dx = dxComputed = last.x() - current.x();
        dy = dyComputed = last.y() - current.y();
        const int width = m_image ? m_image->GetWidth() : 0;
        const int height = m_image ? m_image->GetHeight() : 0;
        const bool outward = mode == ID_EDIT_CROP && crop.AllowOutwardSel;
        if (!outward && !IsPasteMode()) {
            // The edges that move stay inside the image.
            if (m_movingSelection || HandleMovesLeft(m_handle)) {
                if (s.Left >= 0) {
                    dx = std::min(dx, s.Left);
                    if (s.Left - dx >= width)
                        dx = 0;
                } else if (dx > 0) {
                    dx = 0;
                }
            }
            if (m_movingSelection || HandleMovesRight(m_handle)) {
                if (width >= s.Right) {
                    if (s.Right - dx > width)
                        dx = s.Right - width;
                } else if (dx < 0) {
                    dx = 0;
                }
            }
            if (m_movingSelection || HandleMovesTop(m_handle)) {
                if (s.Top >= 0) {
                    dy = std::min(dy, s.Top);
                    if (s.Top - dy >= height)
                        dy = 0;
                } else if (dy > 0) {
                    dy = 0;
                }
            }
            if (m_movingSelection || HandleMovesBottom(m_handle)) {
                if (height >= s.Bottom) {
                    if (s.Bottom - dy > height)
                        dy = s.Bottom - height;
                } else if (dy < 0) {
                    dy = 0;
                }
            }
        }
        if (m_movingSelection) {
            s.Left -= dx;
            s.Right -= dx;
            s.Top -= dy;
            s.Bottom -= dy;
        } else if (m_handle != 0) {
            if (HandleMovesLeft(m_handle))
                s.Left -= dx;
            if (HandleMovesRight(m_handle))
                s.Right -= dx;
            if (HandleMovesTop(m_handle))
                s.Top -= dy;
            if (HandleMovesBottom(m_handle))
                s.Bottom -= dy;
            if (!crop.AllowOutwardSel) {
                s.Right = std::max(s.Right, 0);
                s.Bottom = std::max(s.Bottom, 0);
            }
        } else if (m_host->ModeKeepsSelection()) {
            // Drawing a new selection from the anchor at Left/Top.
            QPoint point(x - m_originX, y - m_originY);
            if (outward || IsPointInImage(x, y)) {
                m_selectionShown = true;
                AlignSelection();
            } else {
                point.setX(std::clamp(point.x(), 0, m_zoomedWidth));
                point.setY(std::clamp(point.y(), 0, m_zoomedHeight));
            }
            QPoint q;
            ScalePoint(&q, point.x(), point.y(), 256, static_cast<int>(m_zoom));
            s.Right = q.x();
            s.Bottom = q.y();
        }
        UpdateView(true);
    }
    // A limited movement leaves the anchor where the selection stopped: the
    // pointer has to come back there before the selection moves again.
    m_lastX = x + ClampToInt(static_cast<int64_t>(m_zoom) * (dxComputed - dx) / 256);
    m_lastY = y + ClampToInt(static_cast<int64_t>(m_zoom) * (dyComputed - dy) / 256);
    UpdateCursor(x, y);
}

void CChildView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        LeftButtonUp();
    event->accept();
}

void CChildView::LeftButtonUp()
{
    CropParams& s = m_host->Selection();
    if (s.Right != s.Left && s.Bottom != s.Top) {
        NormalizeSelection(s);
        AlignSelection();
        UpdateView(true);
    } else if (m_selectionShown) {
        // A click without a drag removes the selection.
        CancelSelection(false);
    }
    m_dragging = m_movingSelection = m_panning = false;
    m_handle = 0;
    UpdateCursor(m_lastX, m_lastY);
}

void CChildView::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    // The application's view goes through its command router.
    CPixmendApp* app = CPixmendApp::Instance();
    if (app && app->GetMainFrame() && app->GetMainFrame()->GetView() == this) {
        app->OnViewDoubleClick();
    } else if (m_host->TextModeHasText()) {
        UpdateView(true);
        m_host->TextModeEditTextAndFont(*this);
        UpdateView(true);
    } else {
        m_host->ModeApply(*this);
    }
    event->accept();
}

void CChildView::RightButtonDown(QPoint globalPos)
{
    // Z held turns the right button off (the selection zoom is being set up).
    if (m_zHeld)
        return;
    const int index = IsImageLoaded() ? m_host->ModeContextMenuIndex(*this) : 0;
    if (index < 0)
        return;
    m_menuOpen = true;
    UpdateCursor(m_lastX, m_lastY);
    m_host->ShowContextMenu(index, globalPos);
    m_menuOpen = false;
}

void CChildView::leaveEvent(QEvent* event)
{
    m_cursorId = -1;
    ApplyCursor();
    m_dragging = false;
    m_panning = false;
    QAbstractScrollArea::leaveEvent(event);
}

// ---- cursor ----

void CChildView::UpdateCursor(int x, int y)
{
    const int mode = m_host->CurrentModeId();
    const bool crop = mode == ID_EDIT_CROP;
    const bool active = IsPasteMode() || (crop && m_host->CropOptions().AllowOutwardSel) || IsPointInImage(x, y);
    const QPoint p = ImagePoint(x, y);
    const CropParams& s = m_host->Selection();
    int id = -1;
    bool chosen = true;
    if (m_selectionShown && SelectionContains(s, p.x(), p.y())) {
        const int idle = crop ? kCursorCrop : kCursorSelect;
        if (m_dragging)
            id = m_movingSelection ? -6 : (m_handle ? HandleCursor(m_handle) : idle);
        else
            id = m_handle ? HandleCursor(m_handle) : idle;
    } else if (m_selectionShown && active) {
        if (m_dragging)
            id = crop ? kCursorCrop : kCursorSelect;
        else
            id = IsPasteMode() ? kCursorSelect : -1;
    } else if (!m_selectionShown && active) {
        id = m_dragging ? kCursorClosedHand : m_host->ModeCursorId();
    } else {
        chosen = false;
    }
    if (chosen && active && m_spaceHeld)
        id = m_dragging ? kCursorClosedHand : kCursorOpenHand;
    if (m_menuOpen || !hasFocus() || !active || !IsImageLoaded())
        id = -1;
    m_cursorId = id;
    ApplyCursor();
}

void CChildView::ApplyCursor()
{
    if (m_cursorId != 0)
        viewport()->setCursor(ViewCursor(m_cursorId));
}

// ---- keys and wheel ----

void CChildView::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Z)
        m_zHeld = true;
    else if (key == Qt::Key_Space)
        m_spaceHeld = true;

    // Z held switches to selecting; letting it go zooms to the selection.
    // Ctrl+Z and Alt+Z are keys of the menus, even while their command is
    // disabled and lets the key through.
    const bool zAlone = !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
    if (key == Qt::Key_Z && zAlone && m_host->CurrentModeId() != ID_EDIT_SELECT) {
        m_previousModeId = m_host->CurrentModeId();
        m_host->SendCommand(ID_EDIT_SELECT);
    }
    if (m_spaceHeld)
        UpdateCursor(m_lastX, m_lastY);

    if (ArrowKey(key)) {
        UpdateView(true);
        event->accept();
        return;
    }
    if (key == Qt::Key_Z || key == Qt::Key_Space) {
        event->accept();
        return;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

bool CChildView::ArrowKey(int key)
{
    int dx = 0;
    int dy = 0;
    switch (key) {
    case Qt::Key_Left: dx = -1; break;
    case Qt::Key_Right: dx = 1; break;
    case Qt::Key_Up: dy = -1; break;
    case Qt::Key_Down: dy = 1; break;
    default: return false;
    }
    if (m_redEyeMarked && m_host->RedEyeCount() > 0) {
        m_host->RedEyeMoveLast(dx, dy);
        m_blinkOn = true;
        m_host->RedEyeRefreshPreview(*this);
    } else if (m_selectionShown || IsPasteMode()) {
        CropParams& s = m_host->Selection();
        const bool free = IsPasteMode() || m_host->CropOptions().AllowOutwardSel;
        const int width = m_image ? m_image->GetWidth() : 0;
        const int height = m_image ? m_image->GetHeight() : 0;
        const int mw = m_mcuWidth;
        const int mh = m_mcuHeight;
        if (dx < 0 && (free || (s.Left >= mw && s.Right >= mw))) {
            s.Left -= mw;
            s.Right -= mw;
        } else if (dx > 0 && (free || (s.Left <= width - mw && s.Right <= width - mw))) {
            s.Left += mw;
            s.Right += mw;
        } else if (dy < 0 && (free || (s.Top >= mh && s.Bottom >= mh))) {
            s.Top -= mh;
            s.Bottom -= mh;
        } else if (dy > 0 && (free || (s.Top <= height - mh && s.Bottom <= height - mh))) {
            s.Top += mh;
            s.Bottom += mh;
        }
    } else {
        m_centerX += 16 * dx;
        m_centerY += 16 * dy;
    }
    return true;
}

void CChildView::focusOutEvent(QFocusEvent* event)
{
    // A key let go elsewhere never reaches the view: forget what was held,
    // or every later click would pan.
    m_spaceHeld = m_zHeld = false;
    QAbstractScrollArea::focusOutEvent(event);
}

void CChildView::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat()) {
        event->accept();
        return;
    }
    const int key = event->key();
    if (key == Qt::Key_Z) {
        m_zHeld = false;
        if (!(event->modifiers() & Qt::ControlModifier) && m_previousModeId > 0) {
            const int back = m_previousModeId;
            m_previousModeId = -1;
            m_host->SendCommand(ID_VIEW_ZOOM_SELECTION);
            m_host->SendCommand(back);
        }
        event->accept();
        return;
    }
    if (key == Qt::Key_Space) {
        m_spaceHeld = false;
        UpdateCursor(m_lastX, m_lastY);
        event->accept();
        return;
    }
    QAbstractScrollArea::keyReleaseEvent(event);
}

void CChildView::wheelEvent(QWheelEvent* event)
{
    event->accept();
    // Some platforms turn Shift with the wheel into a sideways delta.
    int delta = event->angleDelta().y();
    if (delta == 0)
        delta = event->angleDelta().x();
    // Begin and end events of a touch pad carry no movement.
    if (delta == 0)
        return;
    const Qt::KeyboardModifiers mods = event->modifiers();
    const bool ctrl = mods & Qt::ControlModifier;
    const bool shift = mods & Qt::ShiftModifier;
    if (ctrl && shift) {
        if (delta <= 0)
            ZoomOut();
        else
            ZoomIn();
    } else if (shift && m_redEyeMarked && m_host->RedEyeCount() > 0) {
        // The radius stays within what the red-eye panel can show.
        const int radius = m_host->RedEyeRadius() + (delta <= 0 ? -1 : 1);
        m_host->SetRedEyeRadius(std::clamp(radius, kRedEyeRadiusMin, kRedEyeRadiusMax));
        UpdateView(true);
    } else {
        int step = static_cast<int>(m_zoom * 16 / 256);
        if (delta > 0)
            step = -step;
        if (ctrl)
            m_centerX += step;
        else
            m_centerY += step;
        UpdateView(true);
    }
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
