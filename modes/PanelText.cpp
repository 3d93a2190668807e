#include "PanelText.h"

#include "ActionText.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "KsImage.h"
#include "ModeText.h"
#include "StaticHSeparator.h"
#include "TextSettings.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include <utility>

CPanelText::CPanelText(CModeText* mode) : CModePanel(kTemplateId, mode) {}

CModeText* CPanelText::Mode() const
{
    return static_cast<CModeText*>(m_pMode);
}

QString CPanelText::TemplateToEdit(const QString& text)
{
    QString lines = text;
    lines.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    return lines;
}

QString CPanelText::EditToTemplate(const QString& text)
{
    QString lines = TemplateToEdit(text);
    lines.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
    return lines;
}

void CPanelText::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Insert Text"));
    m_exif = MakeCheck(QStringLiteral("EXIF"), window, 1172);
    m_exifText = new QLineEdit(window);
    SetDlgItemId(m_exifText, 1174);
    m_exifText->setReadOnly(true);
    QPushButton* exifEdit = MakeButton(QStringLiteral("Edit"), window, 1075);
    auto* exifRow = new QHBoxLayout;
    exifRow->addWidget(m_exifText, 1);
    exifRow->addWidget(exifEdit);
    column->addWidget(m_exif);
    column->addLayout(exifRow);
    auto* separator1 = new CStaticHSeparator(window);
    SetDlgItemId(separator1, 1180);
    column->addWidget(separator1);

    m_custom = MakeCheck(QStringLiteral("Custom Text"), window, 1175);
    m_customText = new QPlainTextEdit(window);
    SetDlgItemId(m_customText, 1176);
    m_customText->setTabChangesFocus(true);
    m_customText->setFixedHeight(m_customText->fontMetrics().lineSpacing() * 4);
    QPushButton* customEdit = MakeButton(QStringLiteral("Edit"), window, 1177);
    auto* customRow = new QHBoxLayout;
    customRow->addWidget(m_customText, 1);
    customRow->addWidget(customEdit, 0, Qt::AlignTop);
    column->addWidget(m_custom);
    column->addLayout(customRow);
    auto* separator2 = new CStaticHSeparator(window);
    SetDlgItemId(separator2, 1181);
    column->addWidget(separator2);
    AddButtons(column, window, QStringLiteral("Apply"), QStringLiteral("Cancel"));
    column->addStretch(1);

    const std::pair<QCheckBox*, TextStyle TextSettings::*> checks[] = {{m_exif, &TextSettings::Exif},
                                                                       {m_custom, &TextSettings::Custom}};
    for (const auto& [check, style] : checks) {
        connect(check, &QCheckBox::clicked, this, [this, style](bool checked) {
            if (TextSettings* settings = Mode() ? Mode()->GetSettings() : nullptr) {
                (settings->*style).Use = checked ? 1 : 0;
                Refresh();
            }
        });
    }
    // Only the user's typing reaches the template: a refresh writes the edit
    // with the handler held off.
    connect(m_customText, &QPlainTextEdit::textChanged, this, [this] {
        TextSettings* settings = Mode() ? Mode()->GetSettings() : nullptr;
        if (m_bUpdating || !settings || !settings->Custom.Use)
            return;
        settings->Custom.Template = EditToTemplate(m_customText->toPlainText());
    });
    connect(exifEdit, &QPushButton::clicked, this, [this] { EditTextAndFont(0); });
    connect(customEdit, &QPushButton::clicked, this, [this] { EditTextAndFont(1); });
}

void CPanelText::EditTextAndFont(int tab)
{
    TextSettings* settings = Mode() ? Mode()->GetSettings() : nullptr;
    if (!settings)
        return;
    settings->CurTab = tab;
    Mode()->EditTextAndFont();
    Refresh();
}

void CPanelText::UpdateControls()
{
    const TextSettings* s = Mode() ? Mode()->GetSettings() : nullptr;
    if (!s)
        return;
    m_exif->setChecked(s->Exif.Use != 0);
    QString exif;
    CKsImage* image = OpenImage();
    if (s->Exif.Use && image)
        exif = CActionText::ExpandExifText(image, s->Exif.Template, *s, s->LocaleEX);
    if (m_exifText->text() != exif)
        m_exifText->setText(exif);
    m_custom->setChecked(s->Custom.Use != 0);
    const QString custom = s->Custom.Use ? TemplateToEdit(s->Custom.Template) : QString();
    if (m_customText->toPlainText() != custom)
        m_customText->setPlainText(custom);
    m_customText->setEnabled(s->Custom.Use != 0);
}
