#include "ModeText.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "ModeHost.h"
#include "OperText.h"
#include "TextUtil.h"

#include <QPainter>

namespace {

constexpr int kPreviewPollMs = 750;

bool SameStyle(const TextStyle& a, const TextStyle& b)
{
    return a.Use == b.Use && a.Name1 == b.Name1 && a.Name2 == b.Name2 && a.Name3 == b.Name3 && a.Manual == b.Manual &&
           a.Template == b.Template && a.Bold == b.Bold && a.Italic == b.Italic && a.Color == b.Color &&
           a.Placement == b.Placement && a.Opacity == b.Opacity && a.Font == b.Font && a.FontSize == b.FontSize &&
           a.UseBG == b.UseBG && a.ColorBG == b.ColorBG && a.OpacityBG == b.OpacityBG && a.Effect == b.Effect &&
           a.EffWidth == b.EffWidth && a.ColorSh == b.ColorSh && a.Margin == b.Margin && a.PaddingX == b.PaddingX &&
           a.PaddingY == b.PaddingY;
}

} // namespace

CModeText::CModeText() : CMode(ID_EDIT_TEXT, 6, -2)
{
    m_previewTimer.setSingleShot(true);
    m_previewTimer.setInterval(kPreviewPollMs);
    QObject::connect(&m_previewTimer, &QTimer::timeout, &m_previewTimer, [this] { OnPreviewTick(); });
}

CModeText::~CModeText()
{
    m_previewTimer.stop();
}

void CModeText::SetOperation(COperText* operation)
{
    m_pOperation = operation;
    m_pSettings = operation ? &operation->Settings() : nullptr;
}

bool CModeText::SamePreviewSettings(const TextSettings& a, const TextSettings& b)
{
    return SameStyle(a.Exif, b.Exif) && SameStyle(a.Custom, b.Custom) && a.LocaleEX == b.LocaleEX &&
           a.LocaleCT == b.LocaleCT && a.DateFormat == b.DateFormat && a.TimeFormat == b.TimeFormat &&
           a.UseFileTime == b.UseFileTime && a.FractionsOfSeconds == b.FractionsOfSeconds &&
           a.ScaleSizes == b.ScaleSizes;
}

// ---- the mode ----

void CModeText::Activate()
{
    SetHasText(true);
    ShowTextPanel();
    StartPreviewTimer();
}

void CModeText::Deactivate()
{
    m_previewTimer.stop();
    HidePanel();
    SetHasText(false);
}

void CModeText::ShowTextPanel()
{
    ShowPanel(&m_panel, QStringLiteral("Insert Text"));
}

void CModeText::RefreshPanel()
{
    m_panel.Refresh();
}

void CModeText::Apply()
{
    if (!m_bShowText || !m_pOperation)
        return;
    if (IModeHost* app = ModeHost())
        app->RunOperation(m_pOperation->Clone());
    SetHasText(false);
}

void CModeText::Cancel(bool /*lastOnly*/)
{
    SetHasText(false);
    if (CChildView* view = View())
        view->UpdateView(true);
}

int CModeText::GetContextMenuIndex() const
{
    return m_bShowText ? 6 : 1;
}

int CModeText::OnClick(CChildView* view, int /*x*/, int /*y*/)
{
    SetHasText(true);
    if (view)
        view->viewport()->update();
    return 1;
}

void CModeText::SetHasText(bool show)
{
    const int value = show ? 1 : 0;
    if (value == m_bShowText)
        return;
    m_bShowText = value;
    if (!show)
        DeleteDisplayBitmap();
}

// ---- the preview ----

CModeText::PreviewSource CModeText::SourceOf(CKsImage* image)
{
    PreviewSource source;
    if (!image)
        return source;
    source.image = image;
    source.bits = image->GetDib().Bits();
    source.width = image->GetDibWidth();
    source.height = image->GetDibHeight();
    source.undoIndex = image->GetUndoMan()->GetCurrentIndex();
    source.undoCount = image->GetUndoMan()->GetActionCount();
    return source;
}

QImage CModeText::SelectDisplayBitmap(CChildView* view)
{
    if (!m_bShowText || !m_pSettings)
        return CMode::SelectDisplayBitmap(view);
    CKsImage* image = view ? view->GetImage() : nullptr;
    if (!image || (!image->HasDib() && !image->CreateDib()))
        return QImage();
    if (m_bPreviewStale || !HasDisplayBitmap() || !(SourceOf(image) == m_previewSource)) {
        if (!CopyImageBitmap(image))
            return image->GetDibImage();
        m_action.Draw(m_displayBitmap, image, m_pSettings, 1);
        m_previewSource = SourceOf(image);
        m_bPreviewStale = false;
        ++m_nPreviewDraws;
    }
    return m_displayBitmap.View();
}

void CModeText::DrawFrame(QPainter& painter, int originX, int originY, unsigned zoom)
{
    CChildView* view = View();
    const int runningAnts = view ? view->Host().CropOptions().RunningAnts : 0;
    m_action.DrawBlockFrames(painter, originX, originY, static_cast<int>(zoom), runningAnts);
}

QRegion CModeText::FrameRegion(int originX, int originY, unsigned zoom) const
{
    QRegion band;
    const QPoint origin(originX, originY);
    for (const QRect& r : m_action.GetBlockRects()) {
        QPoint tl;
        QPoint br;
        ScalePoint(&tl, r.left(), r.top(), static_cast<int>(zoom), 256);
        ScalePoint(&br, r.left() + r.width(), r.top() + r.height(), static_cast<int>(zoom), 256);
        // The outline and the etched edge's second line, one pixel either side.
        const QRect outer = QRect(tl + origin, br + origin).adjusted(-1, -1, 1, 1);
        band += QRegion(outer) - QRegion(outer.adjusted(3, 3, -3, -3));
    }
    return band;
}

void CModeText::StartPreviewTimer()
{
    m_previewTimer.start(kPreviewPollMs);
}

void CModeText::OnPreviewTick()
{
    if (m_pSettings && !SamePreviewSettings(*m_pSettings, m_lastSeen)) {
        SetHasText(true);
        m_bPreviewStale = true;
        if (CChildView* view = View())
            view->UpdateView(true);
        m_lastSeen = *m_pSettings;
    }
    StartPreviewTimer();
}

// ---- the insert-text dialog ----

int CModeText::EditTextAndFont()
{
    if (!m_pOperation || !m_pSettings)
        return 0;
    const TextSettings saved = *m_pSettings;
    IModeHost* app = ModeHost();
    CInsertTextDlgWrapper dialog(this, app ? app->MainWindow() : nullptr);
    const int result = dialog.DoModal();
    if (result == CInsertTextDlgWrapper::IDCANCEL)
        *m_pSettings = saved;
    return result;
}

void CModeText::OnDialogShown(CInsertTextDlg* dialog)
{
    if (m_pOperation && dialog)
        m_pOperation->AddPage(&dialog->GetSheet(), 0);
}

void CModeText::OnDialogHidden()
{
    if (m_pOperation)
        m_pOperation->HasPageWindow();
}

void CModeText::OnDialogDestroyed(CInsertTextDlg* dialog)
{
    // Taken out, not deleted: this runs while the dialog's window goes, and
    // a page deleted then leaves Qt's focus handling a dead widget. The
    // operation keeps the page for the next opening.
    if (m_pOperation && dialog)
        m_pOperation->RemovePage(&dialog->GetSheet());
}
