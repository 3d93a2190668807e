// Playback runs on the UI thread: a single-shot timer steps the frames, so the
// offscreen picture is only ever drawn and painted from one thread and a stop
// takes effect at once.
#include "PictureEx.h"

#include "platform/GifFile.h"

#include <QFile>
#include <QPainter>

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

constexpr int kDefaultInterval = 100;  // ms, for delays of 0 to 4 hundredths
constexpr int kLongestInterval = 10000; // ms: the longest wait for one frame

QImage DecodeGif(const uint8_t* data, size_t size)
{
    if (size > size_t(INT_MAX))
        return {};
    QImage image;
    if (!image.loadFromData(data, int(size), "GIF"))
        return {};
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

} // namespace

CPictureEx::CPictureEx(QWidget* parent)
    : QWidget(parent)
{
    m_background = ButtonFace();
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &CPictureEx::StepAnimation);
}

CPictureEx::~CPictureEx()
{
    Unload();
}

QColor CPictureEx::ButtonFace() const
{
    return palette().color(QPalette::Button);
}

int CPictureEx::FrameInterval(int delay)
{
    if (delay < 0)
        return 0;
    if (unsigned(delay) > 4)
        return std::min(delay, kLongestInterval / 10) * 10;
    return kDefaultInterval;
}

bool CPictureEx::Load(const void* data, size_t size)
{
    Unload();
    const auto* bytes = static_cast<const uint8_t*>(data);
    if (!bytes || size == 0)
        return false;
    if (size < 3 || std::memcmp(bytes, "GIF", 3) != 0) {
        if (size > size_t(INT_MAX) || !m_still.loadFromData(bytes, int(size))) {
            Unload();
            return false;
        }
        m_size = m_still.size();
        return CreateOffscreen();
    }
    if (!LoadGif(bytes, size)) {
        Unload();
        return false;
    }
    return true;
}

bool CPictureEx::LoadGif(const uint8_t* data, size_t size)
{
    m_bIsGif = true;
    GifLayout layout;
    if (!WalkGif(data, size, &layout) || layout.frames.empty())
        return false;
    m_size = QSize(layout.width, layout.height);
    // An index beyond the table keeps the button face.
    const size_t entry = size_t(layout.backgroundIndex) * 3;
    if (layout.globalTableBytes > 0 && entry + 3 <= layout.globalTableBytes) {
        const uint8_t* rgb = data + 13 + entry;
        m_background = QColor(rgb[0], rgb[1], rgb[2]);
    }
    if (layout.frames.size() == 1) {
        m_still = DecodeGif(data, size);
        return !m_still.isNull() && CreateOffscreen();
    }
    for (const GifFrameBlocks& blocks : layout.frames) {
        const std::vector<uint8_t> copy = MakeStandaloneGif(data, layout, blocks);
        GifFrame frame;
        frame.picture = DecodeGif(copy.data(), copy.size());
        if (frame.picture.isNull())
            continue; // a frame the reader refuses is left out
        frame.width = blocks.width;
        frame.height = blocks.height;
        frame.left = blocks.left;
        frame.top = blocks.top;
        frame.delay = blocks.delay;
        frame.disposal = blocks.disposal;
        m_frames.push_back(std::move(frame));
    }
    return !m_frames.empty() && CreateOffscreen();
}

bool CPictureEx::LoadFromResource(const QString& name, const QString& type)
{
    QFile file(QStringLiteral(":/%1/%2").arg(type, name));
    if (!file.open(QIODevice::ReadOnly)) {
        Unload();
        return false;
    }
    const QByteArray data = file.readAll();
    return Load(data.constData(), size_t(data.size()));
}

bool CPictureEx::CreateOffscreen()
{
    if (m_size.isEmpty())
        return false;
    m_offscreen = QImage(m_size, QImage::Format_ARGB32_Premultiplied);
    if (m_offscreen.isNull())
        return false;
    m_offscreen.fill(ButtonFace());
    return true;
}

void CPictureEx::Display()
{
    if (m_offscreen.isNull()) {
        update();
        return;
    }
    m_dest = rect();
    if (m_bIsGif && m_frames.size() > 1) {
        StopAnimation();
        m_nFrame = 0;
        m_bWaitedThisCycle = false;
        DrawFrame();
        Schedule();
        return;
    }
    QPainter p(&m_offscreen);
    p.drawImage(QRect(QPoint(0, 0), m_size), m_still);
    p.end();
    update();
}

void CPictureEx::DrawFrame()
{
    const GifFrame& f = m_frames[size_t(m_nFrame)];
    const QRect area(f.left, f.top, f.width, f.height);
    if (f.disposal == 3) {
        m_savedRect = area.intersected(m_offscreen.rect());
        m_saved = m_offscreen.copy(m_savedRect);
    }
    // Source-over: the frame's transparent pixels leave what lies below.
    QPainter p(&m_offscreen);
    p.drawImage(area, f.picture);
    p.end();
    update();
}

void CPictureEx::DisposeFrame()
{
    const GifFrame& f = m_frames[size_t(m_nFrame)];
    QPainter p(&m_offscreen);
    if (f.disposal == 2) {
        p.fillRect(QRect(f.left, f.top, f.width, f.height), m_background);
    } else if (f.disposal == 3 && !m_saved.isNull()) {
        p.setCompositionMode(QPainter::CompositionMode_Source);
        p.drawImage(m_savedRect.topLeft(), m_saved);
    }
    m_saved = QImage();
}

void CPictureEx::Schedule()
{
    int interval = FrameInterval(m_frames[size_t(m_nFrame)].delay);
    if (interval > 0)
        m_bWaitedThisCycle = true;
    // A cycle of frames without control extensions would spin: pause at the wrap.
    if (size_t(m_nFrame) + 1 == m_frames.size() && !m_bWaitedThisCycle)
        interval = kDefaultInterval;
    m_timer.start(interval);
}

void CPictureEx::StepAnimation()
{
    if (m_frames.size() < 2 || m_offscreen.isNull())
        return;
    DisposeFrame();
    if (size_t(++m_nFrame) >= m_frames.size()) {
        m_nFrame = 0;
        m_offscreen.fill(m_background);
        m_bWaitedThisCycle = false;
    }
    DrawFrame();
    Schedule();
}

void CPictureEx::StopAnimation()
{
    m_timer.stop();
    m_saved = QImage();
}

void CPictureEx::Unload()
{
    StopAnimation();
    m_frames.clear();
    m_offscreen = QImage();
    m_still = QImage();
    m_size = QSize();
    m_dest = QRect();
    m_bIsGif = false;
    m_nFrame = 0;
    m_bWaitedThisCycle = false;
    m_background = ButtonFace();
}

void CPictureEx::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), m_background);
    if (!m_offscreen.isNull() && !m_dest.isEmpty())
        p.drawImage(m_dest, m_offscreen);
}

void CPictureEx::hideEvent(QHideEvent* event)
{
    // The window is going away (the about box closed): no tick may follow.
    StopAnimation();
    QWidget::hideEvent(event);
}
