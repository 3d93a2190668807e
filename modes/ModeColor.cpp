#include "ModeColor.h"

#include "ActionColor.h"
#include "ChildView.h"
#include "CommandIds.h"
#include "KsImage.h"
#include "ModeHost.h"
#include "OperColor.h"
#include "OperReconstruct.h"
#include "OperResize.h"
#include "UndoMan.h"

namespace {

void InvalidateView()
{
    if (IModeHost* app = ModeHost())
        app->InvalidateView();
}

// After an edit outside the command table (the panel's OK): the view takes
// the new size, the frame its status texts and title.
void RefreshAfterEdit()
{
    IModeHost* app = ModeHost();
    if (CChildView* view = app ? app->ModeView() : nullptr)
        view->UpdateView(true);
    if (app)
        app->RefreshAfterCommand();
}

bool AnyShift(const ColorParams& v)
{
    return v.Brightness != 0 || v.BlueYellow != 0 || v.RedCyan != 0;
}

// The values that apply to `image`: a grayscale image has no colour to
// shift, whatever its disabled rows still hold from a colour image.
ColorParams ShiftFor(const ColorParams& v, CKsImage* image)
{
    ColorParams shift = v;
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    if (lib && lib->IsGrayscale()) {
        shift.BlueYellow = 0;
        shift.RedCyan = 0;
    }
    return shift;
}

} // namespace

// ---- colour ----

CModeColor::CModeColor() : COperationMode(ID_EDIT_COLOR, -1, -1, "PanelColor", "Brightness / Color") {}

CModeColor::~CModeColor() = default;

bool CModeColor::IsAvailable(CKsImage* image) const
{
    IKestrel* lib = image ? image->GetLibraryObject() : nullptr;
    return lib && image->IsLoaded() && lib->CanAdjustLevels();
}

COperColor* CModeColor::Prototype() const
{
    return dynamic_cast<COperColor*>(GetOperation());
}

void CModeColor::Activate()
{
    // A second activation without a deactivation between keeps the values.
    if (m_working)
        Deactivate();
    // The mode list activates without asking; an image the levels edit
    // refuses leaves the mode current but inactive.
    if (!IsAvailable(Image()))
        return;
    DeleteDisplayBitmap();
    m_bPreviewApplied = 0;
    if (COperColor* prototype = Prototype()) {
        m_working.reset(dynamic_cast<COperColor*>(prototype->Clone()));
        // The shifts are not registered parameters: Clone leaves them at 0.
        if (m_working)
            m_working->CopyValues(*prototype);
    }
    COperationMode::Activate();
    RefreshPanel();
    m_panel.SetListener(GetListener());
}

void CModeColor::Deactivate()
{
    if (!m_working)
        return;
    m_panel.SetListener(nullptr);
    COperationMode::Deactivate();
    UndoPreview();
    if (COperColor* prototype = Prototype()) {
        m_working->CopyParamsTo(prototype);
        prototype->CopyValues(*m_working);
    }
    m_working.reset();
    DeleteDisplayBitmap();
    InvalidateView();
}

void CModeColor::RefreshPanel()
{
    m_panel.Refresh();
}

ColorParams* CModeColor::GetColorValues()
{
    return m_working ? &m_working->Params() : nullptr;
}

QImage CModeColor::SelectDisplayBitmap(CChildView* view)
{
    return HasDisplayBitmap() ? m_displayBitmap.View() : CMode::SelectDisplayBitmap(view);
}

void CModeColor::OnChanged()
{
    DeleteDisplayBitmap();
    if (CKsImage* image = Image(); image && m_working)
        RenderPreview(image);
    InvalidateView();
}

bool CModeColor::RenderPreview(CKsImage* image)
{
    // No shift shows the image's own bitmap.
    const ColorParams values = ShiftFor(m_working->Params(), image);
    if (!AnyShift(values))
        return false;
    if (!m_previewUndo)
        m_previewUndo = std::make_unique<CUndoMan>(image, CUndoMan::InMemory{});
    // Room for every byte the shift saves, made before the shift: a write
    // that failed half-way would leave the image shifted for good.
    const int64_t bound = CActionColor::UndoBytesBound(image);
    if (bound < 0 || !m_previewUndo->ReserveStep(bound))
        return false;
    if (!image->HasDib() && !image->CreateDib())
        return false;
    // The image's bitmap waits aside: the shift is taken back exactly, so
    // it still shows the image afterwards and needs no second rendering.
    CDib24 shown = std::move(image->GetDib());
    image->DeleteDib();

    COperColor shift;
    shift.Params() = values;
    int stop = 0;
    m_bPreviewApplied = m_previewUndo->AddAction(shift.CreateAction(image, &stop)) ? 1 : 0;
    const bool recorded = m_bPreviewApplied && m_previewUndo->IsStoreIntact();
    if (recorded && image->CreateDib()) {
        m_displayBitmap = std::move(image->GetDib());
        image->DeleteDib();
    }
    UndoPreview();
    if (recorded)
        image->AttachDib(std::move(shown));
    else
        image->CreateDib();
    return HasDisplayBitmap();
}

void CModeColor::UndoPreview()
{
    if (!m_bPreviewApplied)
        return;
    m_bPreviewApplied = 0;
    if (m_previewUndo) {
        m_previewUndo->Undo();
        // The step is done with: its action and bytes go at once.
        m_previewUndo->ClearHistory();
    }
}

void CModeColor::Apply()
{
    if (!m_working)
        return;
    CKsImage* image = Image();
    if (COperColor* prototype = Prototype())
        m_working->CopyParamsTo(prototype);
    std::unique_ptr<COperColor> edit(dynamic_cast<COperColor*>(m_working->Clone()));
    if (edit)
        edit->Params() = ShiftFor(m_working->Params(), image);
    m_working->ResetValues();
    RefreshPanel();
    UndoPreview();
    DeleteDisplayBitmap();
    // No shift is no edit: an empty step would only mark the image modified.
    if (edit && image && AnyShift(edit->Params())) {
        int stop = 0;
        image->GetUndoMan()->AddAction(edit->CreateAction(image, &stop));
        image->CreateDib();
        RefreshAfterEdit();
    }
    InvalidateView();
}

// ---- resize and reconstruct ----

CWorkingCloneMode::~CWorkingCloneMode() = default;

void CWorkingCloneMode::Activate()
{
    const IOperation* prototype = GetOperation();
    m_working.reset(prototype ? dynamic_cast<COperation*>(prototype->Clone()) : nullptr);
    COperationMode::Activate();
    RefreshPanel();
}

void CWorkingCloneMode::Deactivate()
{
    if (!m_working)
        return;
    COperationMode::Deactivate();
    m_working.reset();
}

void CWorkingCloneMode::RefreshPanel()
{
    Panel()->Refresh();
}

void CWorkingCloneMode::Apply()
{
    IModeHost* app = ModeHost();
    if (!m_working || !app)
        return;
    if (auto* prototype = dynamic_cast<COperation*>(GetOperation()))
        m_working->CopyParamsTo(prototype);
    app->RunOperation(m_working->Clone());
    RefreshAfterEdit();
}

CModeResize::CModeResize() : CWorkingCloneMode(ID_EDIT_RESIZE, -1, -1, "PanelResize", "Resize / Resample") {}

ResizeParams* CModeResize::GetWorkingValues() const
{
    auto* working = dynamic_cast<COperResize*>(Working());
    return working ? &working->Params() : nullptr;
}

CModeReconstruct::CModeReconstruct()
    : CWorkingCloneMode(ID_EDIT_RECONSTRUCT, -1, -1, "PanelReconstruct", "Reconstruct")
{
}

ReconstructParams* CModeReconstruct::GetWorkingValues() const
{
    auto* working = dynamic_cast<COperReconstruct*>(Working());
    return working ? &working->Params() : nullptr;
}
