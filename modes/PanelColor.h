#pragma once

#include "ColorRows.h"
#include "ModePanel.h"

class CModeColor;
class IListener;
struct ColorParams;

// "Brightness / Color" (dialog 207): the colour mode's three working values,
// brightness, yellow to blue, cyan to red. Every change a user makes is
// told to the listener, which redraws the preview; a refresh tells nobody
// (the preview refreshes the panel in turn).
class CPanelColor : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 207;
    explicit CPanelColor(CModeColor* mode);

    // Set by the mode on Activate, cleared on Deactivate.
    void SetListener(IListener* listener) { m_pListener = listener; }

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    ColorParams* Values() const;
    void OnEditChange(int row);

    CColorRows m_rows;
    IListener* m_pListener = nullptr;
};
