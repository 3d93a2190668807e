// CCustCropPresetsDlg: the modal editor of the crop rules. It edits the
// vector it is given in place (CCropPresets::EditPresets hands it a copy and
// takes the copy over only on OK). Every field is corrected as it is typed:
// sizes read in the C locale, anything but a number keeps the value, 0 or
// less becomes 1 and more than the largest image side becomes that side.
//
// Handlers that code runs itself are called directly; the signals connected
// are the user's only (activated, textEdited, a list selection made by the
// user), so refilling the list or renaming a rule never bounces back.
#pragma once

#include "CropPresets.h"
#include "HeldReturn.h"

#include <QDialog>

#include <vector>

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

class CCustCropPresetsDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 152;
    enum { IDOK = 1, IDCANCEL = 2 };

    explicit CCustCropPresetsDlg(std::vector<CropRule>* rules, QWidget* parent = nullptr);

    // Runs the dialog modally: IDOK or IDCANCEL.
    int DoModal();

    // Makes this dialog the editor CCropPresets::EditPresets runs.
    static void InstallAsPresetsEditor();

    // A size as typed: "%lf" in the C locale; false when the text does not
    // start with a number ("nan" and "inf" do not count).
    static bool ReadSize(const QString& text, double* value);

    void FillList();
    void OnSelChange();
    void OnTypeChange();
    void ShowRule();
    void OnWidthChange();
    void OnHeightChange();
    void OnDescriptionChange();
    void OnUnitsChange();
    void OnAdd();
    void OnRemove();
    void OnMoveUp();
    void OnMoveDown();
    void OnDefaults();

    int GetCurrentIndex() const { return m_nCurrent; }

private:
    // The rule selected in the list; null when none is.
    CropRule* Selected() const;
    void OnSizeChange(QLineEdit* edit, double CropRule::*side);

    CHeldReturn m_heldReturn;
    std::vector<CropRule>* m_pRules;
    int m_nCurrent = 0;

    QListWidget* m_list;
    QPushButton* m_add;
    QPushButton* m_remove;
    QPushButton* m_up;
    QPushButton* m_down;
    QLineEdit* m_description;
    QComboBox* m_type;
    QLabel* m_sizeLabel;
    QLineEdit* m_width;
    QLineEdit* m_height;
    QLabel* m_unitsLabel;
    QComboBox* m_units;
};
