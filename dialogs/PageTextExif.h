// CPageTextExif: the "EXIF" page of the text editor: the EXIF block's
// style, its template built from up to three fields (or typed with "Edit"),
// and the template expanded for the open image.
#pragma once

#include "PageTextStyle.h"

class QLabel;

class CPageTextExif : public CPageTextStyle {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 157;
    CPageTextExif();

    QComboBox* GetFieldCombo(int index) const { return m_fields[index]; }

protected:
    TextStyle* Style() const override;
    int FontCharset() const override;
    void AddHeadRows(QWidget* box, QGridLayout* grid, int* row) override;
    void AddTemplateRows(QWidget* box, QGridLayout* grid, int* row) override;
    void OnTemplateChanged() override;
    void UpdateControls() override;
    bool TemplateWritable() const override;
    bool OnInitDialog() override;
    void OnDestroyWindow() override;

private:
    void OnFieldChanged(int index);
    void ShowFields();
    void ShowOutput();

    QLabel* m_fieldsLabel = nullptr;
    QComboBox* m_fields[3] = {};
    QCheckBox* m_manual = nullptr;
    QLabel* m_output = nullptr;
};
