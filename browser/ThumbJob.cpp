// One thumbnail on a thread of its own.
#include "ThumbJob.h"

#include <system_error>

#include <algorithm>

CThumbJob::CThumbJob(IKestrel* library, const QString& path, int boxWidth, uint32_t background)
    : m_boxWidth(boxWidth)
{
    // The worker writes m_ok and m_entry only; the caller reads them after the join.
    try {
        m_thread = std::thread([this, library, path, background] {
            m_ok = CThumbLoader::MakeThumbnail(library, path, m_boxWidth, 0, background, m_entry);
        });
    } catch (const std::system_error&) {
        // No thread to be had: no first picture, the photo still loads.
    }
}

CThumbJob::~CThumbJob()
{
    if (m_thread.joinable())
        m_thread.join();
}

QImage CThumbJob::Take(QSize* imageSize)
{
    if (m_thread.joinable())
        m_thread.join();
    if (imageSize)
        *imageSize = m_ok ? QSize(m_entry.width, m_entry.height) : QSize();
    if (!m_ok)
        return QImage();
    const QRect picture = PictureRect(m_entry.width, m_entry.height, m_boxWidth, m_boxWidth, 0);
    return picture.isEmpty() ? QImage() : m_entry.bitmap.copy(picture);
}

QRect CThumbJob::PictureRect(int width, int height, int boxWidth, int boxHeight, int flags)
{
    // The library's own steps: the margin, the DCT scale (up to three
    // halvings while the box fits twice), then the fit into the usable box.
    const int shadow = (flags & 4) ? 4 : 0;
    const int margin = 2 + ((flags & 1) ? 2 : 0) + ((flags & 2) ? 2 : 0) + shadow;
    const int usableW = boxWidth - margin;
    const int usableH = boxHeight - margin;
    if (usableW < 1 || usableH < 1 || width < 1 || height < 1)
        return QRect();
    long long w = width;
    long long h = height;
    for (int i = 0; i < 3 && 2ll * boxWidth < w && 2ll * boxHeight < h; ++i) {
        w /= 2;
        h /= 2;
    }
    if (w > usableW || h > usableH) {
        const double d = std::max(static_cast<double>(w) / usableW, static_cast<double>(h) / usableH);
        w = static_cast<long long>(w / d);
        h = static_cast<long long>(h / d);
    }
    const int n = static_cast<int>(w);
    const int m = static_cast<int>(h);
    return QRect((boxWidth - n - shadow) / 2, (boxHeight - m - shadow) / 2, n, m);
}
