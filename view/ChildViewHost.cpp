#include "ChildViewHost.h"

#include "ChildView.h"
#include "CropOverlay.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "KsImage.h"


ViewAppHooks& TheViewAppHooks()
{
    static ViewAppHooks hooks;
    return hooks;
}

CViewHost::CViewHost() : m_modeId(ID_EDIT_DRAG) {}

CViewHost::~CViewHost() = default;

CropParams& CViewHost::CropOptions()
{
    if (const auto& hook = TheViewAppHooks().cropOptions)
        if (CropParams* crop = hook())
            return *crop;
    return m_crop;
}

CAppSettings& CViewHost::Settings()
{
    if (const auto& hook = TheViewAppHooks().settings)
        if (CAppSettings* settings = hook())
            return *settings;
    return m_ownSettings;
}

bool CViewHost::ModeKeepsSelection() const
{
    const int mode = CurrentModeId();
    return mode == ID_EDIT_CROP || mode == ID_EDIT_SELECT;
}

void CViewHost::ModeResetSelection(CChildView& /*view*/)
{
    // The modes give their selection its starting state (clamped to the
    // image, shown, aligned) once they exist.
}

int CViewHost::ModeOnClick(CChildView& /*view*/, int /*x*/, int /*y*/)
{
    return 0;
}

int CViewHost::ModeCursorId() const
{
    switch (CurrentModeId()) {
    case ID_EDIT_DRAG: return 137;
    case ID_EDIT_CROP: return -4;
    case ID_EDIT_RED_EYE: return 139;
    case ID_EDIT_TEXT: return -2;
    case ID_EDIT_SELECT: return -4;
    case ID_EDIT_PASTE: return 140;
    default: return -1;
    }
}

int CViewHost::ModeContextMenuIndex(const CChildView& view) const
{
    switch (CurrentModeId()) {
    case ID_EDIT_CROP: return view.IsSelectionShown() ? 2 : 1;
    case ID_EDIT_SELECT: return view.IsSelectionShown() ? 5 : 1;
    case ID_EDIT_PASTE: return 4;
    case ID_EDIT_RED_EYE: return view.IsRedEyeMarked() ? 3 : 1;
    case ID_EDIT_TEXT: return TextModeHasText() ? 6 : 1;
    default: return 1;
    }
}

void CViewHost::ModeCancel(CChildView& view, bool /*lastOnly*/)
{
    view.SetSelectionShown(false);
}

void CViewHost::ModeApply(CChildView& /*view*/) {}

QImage CViewHost::ModeDisplayImage(CChildView& /*view*/, CKsImage& image)
{
    // The bitmap is rebuilt on demand after edits drop it.
    if (!image.HasDib() && !image.CreateDib())
        return QImage();
    return image.GetDibImage();
}

void CViewHost::ModeDrawOverlay(QPainter& painter, CChildView& view)
{
    const int mode = CurrentModeId();
    if (!view.IsSelectionShown() || !(ModeKeepsSelection() || mode == ID_EDIT_PASTE))
        return;
    if (mode == ID_EDIT_CROP)
        DrawCropOverlay(painter, view);
    else
        view.DrawSelectionFrame(painter);
}

void CViewHost::SendCommand(int id)
{
    if (const auto& hook = TheViewAppHooks().commands)
        if (CCommandTable* commands = hook())
            commands->Execute(id);
}

void CViewHost::OpenDroppedFile(const QString& path)
{
    if (const auto& hook = TheViewAppHooks().openDroppedFile)
        hook(path);
}
