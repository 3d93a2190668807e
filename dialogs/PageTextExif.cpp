#include "PageTextExif.h"

#include "ActionText.h"
#include "DlgOperControls.h"
#include "KsImage.h"
#include "LocaleManager.h"
#include "DialogHost.h"
#include "LocaleManager.h"
#include "TextSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>

namespace {

constexpr CPageTextStyle::Ids kIds = {
    1009, 1026, 1028, 1032, 1033, 1014, 1015, 1016, 1012, 1017, 1024, 1034,
    1050, 1052, 1058, 1059, 1061, 1062, 1065, 1066, 1111, 1113, 1114,
};

constexpr int kFieldIds[3] = {1010, 1011, 1027};

} // namespace

CPageTextExif::CPageTextExif()
    : CPageTextStyle(kTemplateId, kIds, "Metadata")
{
}

TextStyle* CPageTextExif::Style() const
{
    return &m_pSettings->Exif;
}

int CPageTextExif::FontCharset() const
{
    const DialogHost& host = TheDialogHost();
    CLocaleManager* locales = host.locales ? host.locales() : nullptr;
    return locales ? locales->GetCharset(m_pSettings->LocaleEX) : DEFAULT_CHARSET;
}

void CPageTextExif::AddHeadRows(QWidget* box, QGridLayout* grid, int* row)
{
    m_fieldsLabel = MakeLabel(QStringLiteral("Fields:"), box, 1037);
    auto* fieldRow = new QHBoxLayout;
    for (int i = 0; i < 3; ++i) {
        m_fields[i] = MakeList({}, box, kFieldIds[i]);
        fieldRow->addWidget(m_fields[i], 1);
        connect(m_fields[i], &QComboBox::activated, this, [this, i] { OnFieldChanged(i); });
    }
    m_manual = MakeCheck(QStringLiteral("Edit"), box, 1036);
    fieldRow->addWidget(m_manual);
    grid->addWidget(m_fieldsLabel, *row, 0);
    grid->addLayout(fieldRow, (*row)++, 1, 1, 5);

    connect(m_manual, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_pSettings)
            return;
        Style()->Manual = checked ? 1 : 0;
        ShowFields();
        ShowTemplate();
    });
}

void CPageTextExif::AddTemplateRows(QWidget* box, QGridLayout* grid, int* row)
{
    m_output = MakeLabel(QString(), box, 1025);
    m_output->setFrameShape(QFrame::StyledPanel);
    grid->addWidget(MakeLabel(QStringLiteral("Result:"), box), *row, 0);
    grid->addWidget(m_output, (*row)++, 1, 1, 5);
}

bool CPageTextExif::OnInitDialog()
{
    for (QComboBox* combo : m_fields)
        FillPlaceholderCombo(combo);
    return CPageTextStyle::OnInitDialog();
}

void CPageTextExif::OnDestroyWindow()
{
    m_fieldsLabel = m_output = nullptr;
    m_fields[0] = m_fields[1] = m_fields[2] = nullptr;
    m_manual = nullptr;
    CPageTextStyle::OnDestroyWindow();
}

bool CPageTextExif::TemplateWritable() const
{
    return Style()->Use && Style()->Manual;
}

void CPageTextExif::OnFieldChanged(int index)
{
    if (!m_pSettings)
        return;
    TextStyle* style = Style();
    QString* names[3] = {&style->Name1, &style->Name2, &style->Name3};
    *names[index] = m_fields[index]->currentText();
    QStringList codes;
    for (QComboBox* combo : m_fields) {
        const QString code = combo->currentIndex() >= 0 ? combo->currentData().toString() : QString();
        if (!code.isEmpty())
            codes.append(code);
    }
    style->Template = codes.join(u' ');
    ShowTemplate();
    ShowOutput();
}

void CPageTextExif::OnTemplateChanged()
{
    ShowOutput();
}

void CPageTextExif::UpdateControls()
{
    CPageTextStyle::UpdateControls();
    m_manual->setChecked(Style()->Use && Style()->Manual);
    ShowFields();
    ShowTemplate();
    ShowOutput();
}

void CPageTextExif::ShowFields()
{
    const TextStyle* style = Style();
    const bool enabled = style->Use && !style->Manual;
    m_fieldsLabel->setEnabled(enabled);
    const QString* names[3] = {&style->Name1, &style->Name2, &style->Name3};
    for (int i = 0; i < 3; ++i) {
        m_fields[i]->setEnabled(enabled);
        m_fields[i]->setCurrentIndex(enabled ? m_fields[i]->findText(*names[i]) : -1);
    }
}

void CPageTextExif::ShowOutput()
{
    const TextSettings* s = m_pSettings;
    QString text;
    if (s->Exif.Use)
        text = CActionText::ExpandExifText(OpenImage(), s->Exif.Template, *s, s->LocaleEX);
    m_output->setText(text);
}
