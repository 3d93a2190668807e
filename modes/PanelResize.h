#pragma once

#include "ModePanel.h"
#include "ResizeControls.h"

#include <vector>

class CModeResize;

// "Resize / Resample" (dialog 241): units, the two pixel sizes with their
// locked aspect, the percentage and the options of the working operation.
class CPanelResize : public CModePanel {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 241;
    explicit CPanelResize(CModeResize* mode);

protected:
    void CreateControls(QWidget* window) override;
    bool OnInitDialog() override;
    void UpdateControls() override;

private:
    void ShowUnits();

    CResizeControls m_controls;
    std::vector<QWidget*> m_pixelControls;
    std::vector<QWidget*> m_percentControls;
};
