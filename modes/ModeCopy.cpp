#include "ModeCopy.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "ModeHost.h"

#include <QApplication>
#include <QClipboard>
#include <QWidget>

#include <algorithm>
#include <cstdint>
#include <cstring>

CModeCopy::CModeCopy() : CMode(ID_EDIT_SELECT, 5, -4) {}


void CModeCopy::Activate()
{
    ShowPanel(&m_panel, QStringLiteral("Select / Copy"));
}

void CModeCopy::Deactivate()
{
    HidePanel();
}

void CModeCopy::RefreshPanel()
{
    m_panel.Refresh();
    if (IModeHost* app = ModeHost())
        app->UpdateStatusTexts();
}

int CModeCopy::GetContextMenuIndex() const
{
    const CChildView* view = View();
    return view && view->IsSelectionShown() ? 5 : 1;
}

void CModeCopy::DrawOverlay(QPainter& painter, CChildView* view)
{
    if (view && view->IsSelectionShown())
        DrawSelectionFrame(painter, view);
}

void CModeCopy::Cancel(bool /*lastOnly*/)
{
    HideSelection();
}

QImage CModeCopy::CopyRect(CKsImage& image, int left, int top, int right, int bottom)
{
    if (!image.IsLoaded() || (!image.HasDib() && !image.CreateDib()))
        return QImage();
    const CDib24& dib = image.GetDib();
    // In 64 bits: the stored edges may be anywhere in the int range.
    const int64_t x0 = std::max<int64_t>(std::min<int64_t>(left, right), 0);
    const int64_t y0 = std::max<int64_t>(std::min<int64_t>(top, bottom), 0);
    const int64_t x1 = std::min<int64_t>(std::max<int64_t>(left, right), std::min(image.GetWidth(), dib.Width()));
    const int64_t y1 = std::min<int64_t>(std::max<int64_t>(top, bottom), std::min(image.GetHeight(), dib.Height()));
    if (x1 <= x0 || y1 <= y0)
        return QImage();
    QImage picture(static_cast<int>(x1 - x0), static_cast<int>(y1 - y0), QImage::Format_BGR888);
    if (picture.isNull())
        return QImage();
    const size_t bytes = static_cast<size_t>(x1 - x0) * 3;
    for (int64_t y = y0; y < y1; ++y)
        std::memcpy(picture.scanLine(static_cast<int>(y - y0)), dib.Row(static_cast<int>(y)) + x0 * 3, bytes);
    return picture;
}

void CModeCopy::Apply()
{
    CChildView* view = View();
    CKsImage* image = Image();
    if (!view || !image || !view->IsSelectionShown())
        return;
    const auto& s = view->Host().Selection();
    const QImage picture = CopyRect(*image, s.Left, s.Top, s.Right, s.Bottom);
    if (picture.isNull())
        return;
    QApplication::clipboard()->setImage(picture);
    SwitchToDefaultMode();
    view->OnImageChanged();
}
