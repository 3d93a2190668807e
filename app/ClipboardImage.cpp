#include "ClipboardImage.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>

#include <cstring>

CClipboardImage::CClipboardImage(QObject* parent) : QObject(parent)
{
    if (QClipboard* clipboard = QGuiApplication::clipboard()) {
        connect(clipboard, &QClipboard::dataChanged, this, &CClipboardImage::Refresh);
        Refresh();
    }
}

void CClipboardImage::Refresh()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    const QMimeData* data = clipboard ? clipboard->mimeData() : nullptr;
    m_bHasImage = data && data->hasImage();
}

bool CClipboardImage::Take(CDib24* out) const
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && ToDib(clipboard->image(), out);
}

bool CClipboardImage::ToDib(const QImage& image, CDib24* out)
{
    if (!out || image.isNull() || image.width() <= 0 || image.height() <= 0)
        return false;
    // Allocate first: CDib24 refuses sizes whose bytes or row offsets do not
    // fit an int, and memory that is not there.
    CDib24 dib;
    if (!dib.Create(image.width(), image.height()))
        return false;
    const QImage bgr = image.convertToFormat(QImage::Format_BGR888);
    if (bgr.isNull() || bgr.size() != image.size())
        return false;
    const size_t rowBytes = static_cast<size_t>(dib.Stride());
    for (int y = 0; y < dib.Height(); ++y)
        std::memcpy(dib.Row(y), bgr.constScanLine(y), rowBytes);
    *out = std::move(dib);
    return true;
}
