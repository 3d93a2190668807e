// The crop mode: the user draws, moves and resizes the selection
// (SelectionRect, the crop operation's Left/Top/Right/Bottom) over the image,
// optionally bound to a crop rule from theCropPresets, sees the area outside
// it faded and guide lines inside it, and crops with "Crop now".
//
// The mode owns the preset list's persistence: the constructor reads
// "Presets" of section "Crop" into theCropPresets, the destructor writes the
// list back (the frame, and so the mode, goes while the profile is open).
//
// Sizes the mode sets are kept to 0..kMaxCropSide (the library refuses larger
// crops) and summed in 64 bits, whatever a panel or the profile hands in.
#pragma once

#include "Mode.h"
#include "PanelCrop.h"
#include "PageCropGeneral.h" // FillCropPresetCombo: the crop panel fills its preset combo with it

#include <QRect>

#include <functional>

struct CropParams;
struct CropRule;

class CModeCrop : public CMode {
public:
    // The panel's width and height edits; which side SetSizeFromPanel sets.
    static constexpr int kWidthId = 32796;
    static constexpr int kHeightId = 32797;
    // The largest side a crop may have.
    static constexpr int kMaxCropSide = 65500;

    CModeCrop();
    ~CModeCrop() override;

    void Activate() override;
    void Deactivate() override;
    // "Crop now": crops exactly the rectangle shown, while one is shown.
    void Apply() override;
    // Hides the selection and drops the faded copy.
    void Cancel(bool lastOnly) override;
    // 2 while the view shows a selection, else 1.
    int GetContextMenuIndex() const override;
    // The starting selection by the crop operation's Position.
    void ResetSelection() override;
    // Runs on every view update with notification: keeps CropReferenceRect,
    // fits the rule, aligns, records the size, refreshes panel and status.
    void RefreshPanel() override;
    // The image with the area outside the selection faded to half.
    QImage SelectDisplayBitmap(CChildView* view) override;
    // The outline, the canvas colour outside the image, the guide lines.
    void DrawOverlay(QPainter& painter, CChildView* view) override;
    bool UsesSelectionRect() const override { return true; }

    // The application's crop operation's parameter block (not owned).
    void SetParams(CropParams* params) { m_pParams = params; }
    CropParams* GetParams() const { return m_pParams; }

    // ---- what the crop panel calls ----
    // The preset whose text is CropPreset, or null (free crop).
    const CropRule* GetCurrentRule() const;
    // which = kWidthId sets the width to value, kHeightId the height; the
    // other side follows the rule.
    void SetSizeFromPanel(int which, int value);
    // Exchanges width and height.
    void ApplyPanelSize();
    // After CropPreset changed: the selection is fitted to the new rule and
    // placed afresh.
    void OnPresetChanged();
    // The preset editor on CropPreset, then the selection follows the rule.
    void EditPresets();
    void CancelFromPanel();
    // Adjusts the selection to width w and height h under the current rule
    // (see the source for which sides move).
    void FitToRule(int w, int h, int which, bool fromPanel);

    // |Right - Left| and |Bottom - Top| at the end of the last refresh.
    int GetLastWidth() const { return m_nLastWidth; }
    int GetLastHeight() const { return m_nLastHeight; }
    // The panel's own refresh, run at the end of RefreshPanel; set by the
    // panel that binds to this mode.
    void SetPanelRefresh(std::function<void()> refresh) { m_panelRefresh = std::move(refresh); }

    // The selection rectangle the display bitmap was last faded for
    // (normalised, clipped to the image); empty when there is no faded copy.
    QRect GetFadedRect() const { return HasDisplayBitmap() ? m_fadedRect : QRect(); }

private:
    CropParams* m_pParams = nullptr;
    int m_nLastWidth = 0;
    int m_nLastHeight = 0;
    QRect m_fadedRect;
    std::function<void()> m_panelRefresh;
    CPanelCrop m_panel{this}; // last: it hands the mode its refresh
};
