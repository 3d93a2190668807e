#include "Mode.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "ModeHost.h"
#include "ModePanel.h"
#include "ViewCursors.h"

#include <QWidget>

#include <algorithm>
#include <cstdint>

CMode::CMode(int commandId, int contextMenuIndex, int cursorId)
    : m_nContextMenuIndex(contextMenuIndex), m_nCursorId(cursorId), m_nCommandId(commandId)
{
}

CMode::~CMode() = default;

CChildView* CMode::View()
{
    IModeHost* host = ModeHost();
    return host ? host->ModeView() : nullptr;
}

CKsImage* CMode::Image()
{
    CChildView* view = View();
    return view && view->IsImageLoaded() ? view->GetImage() : nullptr;
}

void CMode::HideSelection()
{
    if (CChildView* view = View()) {
        view->SetSelectionShown(false);
        view->viewport()->update();
    }
}

void CMode::ShowPanel(CPropertyPage* page, const QString& caption)
{
    if (IModeHost* app = ModeHost())
        app->ShowModePanel(page, caption);
}

void CMode::HidePanel()
{
    if (IModeHost* app = ModeHost())
        app->HideModePanel();
}

void CMode::SwitchToDefaultMode()
{
    if (IModeHost* app = ModeHost())
        app->SwitchToDefaultMode();
}

void CMode::ClampRect(int& left, int& top, int& right, int& bottom, int width, int height, int mcuWidth,
                      int mcuHeight, bool outward)
{
    if (width <= 0 || height <= 0 || mcuWidth <= 0 || mcuHeight <= 0)
        return;
    // One axis at a time in 64 bits: the stored edges may come from the
    // profile or a larger image, anywhere in the int range.
    auto axis = [outward](int& lo, int& hi, int64_t size, int64_t step) {
        int64_t a = lo;
        int64_t b = hi;
        // Step 1: whole steps left until the start is inside (a <= size).
        // An outward selection keeps the rest as it is.
        if (a > size) {
            const int64_t n = (a - size + step - 1) / step;
            a -= n * step;
            b -= n * step;
        }
        if (!outward) {
            // Step 3: whole steps left while the end hangs over and a whole
            // step remains before the start.
            if (b > size && a >= step) {
                const int64_t n = std::min((b - size + step - 1) / step, a / step);
                a -= n * step;
                b -= n * step;
            }
            // Step 4.
            if (b > size) {
                a = 0;
                b = size;
            }
            // Step 5.
            if (a < 0) {
                b -= a;
                a = 0;
            }
        }
        lo = static_cast<int>(a);
        hi = static_cast<int>(std::clamp<int64_t>(b, INT32_MIN, INT32_MAX));
    };
    axis(left, right, width, mcuWidth);
    axis(top, bottom, height, mcuHeight);
}

void CMode::ClampSelection(bool allowOutward)
{
    CChildView* view = View();
    CKsImage* image = Image();
    if (!view || !image)
        return;
    auto& s = view->Host().Selection();
    const bool outward = allowOutward && view->Host().CropOptions().AllowOutwardSel != 0;
    ClampRect(s.Left, s.Top, s.Right, s.Bottom, image->GetWidth(), image->GetHeight(), view->McuWidth(),
              view->McuHeight(), outward);
}

void CMode::ResetSelection()
{
    ClampSelection(false);
    if (CChildView* view = View()) {
        view->SetSelectionShown(true);
        view->AlignSelection();
        view->UpdateView(true);
    }
}

QImage CMode::SelectDisplayBitmap(CChildView* view)
{
    CKsImage* image = view ? view->GetImage() : nullptr;
    // The bitmap is rebuilt on demand after edits drop it.
    if (!image || (!image->HasDib() && !image->CreateDib()))
        return QImage();
    return image->GetDibImage();
}

void CMode::DeleteDisplayBitmap()
{
    m_displayBitmap.Reset();
}

BYTE* CMode::CopyImageBitmap(CKsImage* image)
{
    DeleteDisplayBitmap();
    if (!image || (!image->HasDib() && !image->CreateDib()))
        return nullptr;
    m_displayBitmap = image->GetDib().Clone();
    return m_displayBitmap.Bits();
}

QRect CMode::DrawSelectionFrame(QPainter& painter, CChildView* view)
{
    return view ? view->DrawSelectionFrame(painter) : QRect();
}

// ---- the mode list ----

void CModeList::SetMode(int commandId)
{
    if (m_current && m_current->GetCommandId() == commandId)
        return;
    if (m_current)
        m_current->Deactivate();
    const auto found = std::find_if(m_modes.begin(), m_modes.end(),
                                    [commandId](const IMode* m) { return m->GetCommandId() == commandId; });
    if (found == m_modes.end())
        return;
    m_current = *found;
    m_current->Activate();
}

// ---- the drag mode ----

CModeDefault::CModeDefault() : CMode(ID_EDIT_DRAG, 1, kCursorOpenHand) {}

void CModeDefault::Cancel(bool /*lastOnly*/)
{
    HideSelection();
}

COperationMode::COperationMode(int commandId, int contextMenuIndex, int cursorId, const char* panelName,
                               const char* caption)
    : CMode(commandId, contextMenuIndex, cursorId), m_panelName(panelName), m_caption(caption)
{
}

void COperationMode::Activate()
{
    ShowPanel(Panel(), QString::fromUtf8(m_caption));
}

void COperationMode::Deactivate()
{
    HidePanel();
}
