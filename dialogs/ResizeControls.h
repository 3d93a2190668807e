// The resize controls the operation editor and the mode panel share: units,
// the two pixel sizes with their locked aspect, the percentage and the
// options. Each owner lays them out, shows the units and connects the
// percent edit its own way; the handlers here write the ResizeParams the
// owner's accessor returns (nothing while it returns null). `updating` is
// the owner's flag: set, the size edits' handlers neither store nor
// propagate, so values written by the owner or by these controls stay put.
#pragma once

#include <functional>

class CIntEdit;
class CSpinButton;
class QCheckBox;
class QComboBox;
class QObject;
class QPushButton;
class QWidget;
struct ResizeParams;

class CResizeControls {
public:
    CResizeControls(std::function<ResizeParams*()> params, int& updating);

    // Creates the controls under `parent`, unplaced, and connects them with
    // `context`; a user's choice of units calls `onUnits` after storing it.
    void Create(QWidget* parent, QObject* context, std::function<void()> onUnits);
    void Clear();
    // The three edits take 1 to INT_MAX.
    void SetRanges();
    // Writes every control from `p` but the percent edit.
    void Fill(const ResizeParams& p);
    // The lock's ratio becomes the current size, and its label shows it.
    void UpdateLockText();

    QComboBox* m_units = nullptr;
    CIntEdit* m_width = nullptr;
    CIntEdit* m_height = nullptr;
    CIntEdit* m_percent = nullptr;
    CSpinButton* m_widthSpin = nullptr;
    CSpinButton* m_heightSpin = nullptr;
    CSpinButton* m_percentSpin = nullptr;
    QPushButton* m_pick = nullptr;
    QCheckBox* m_lock = nullptr;
    QCheckBox* m_swap = nullptr;
    QCheckBox* m_dontEnlarge = nullptr;
    QCheckBox* m_keep = nullptr;

private:
    void OnSizeEdit(bool width);
    void OnPickFromImage();

    std::function<ResizeParams*()> m_params;
    int& m_bUpdating;
    int m_nAspectWidth = 1;
    int m_nAspectHeight = 1;
};
