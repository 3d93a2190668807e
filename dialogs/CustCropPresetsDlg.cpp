#include "CustCropPresetsDlg.h"

#include "DlgItems.h"
#include "MessageBoxes.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QVBoxLayout>

#include <cmath>

namespace {

// The largest image side; larger sizes are brought down to it.
constexpr double kMaxSize = 65500.0;

QPushButton* Button(const QString& text, int id, QWidget* parent)
{
    auto* button = new QPushButton(text, parent);
    SetDlgItemId(button, id);
    button->setAutoDefault(false);
    return button;
}

} // namespace

CCustCropPresetsDlg::CCustCropPresetsDlg(std::vector<CropRule>* rules, QWidget* parent)
    : QDialog(parent)
    , m_pRules(rules)
{
    setWindowTitle(QStringLiteral("Crop Presets"));
    setObjectName(QStringLiteral("CropPresetsDlg"));

    m_list = new QListWidget(this);
    SetDlgItemId(m_list, 1063);
    m_list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_add = Button(QStringLiteral("Add"), 1070, this);
    m_remove = Button(QStringLiteral("Remove"), 1071, this);
    m_up = Button(QStringLiteral("Move Up"), 1072, this);
    m_down = Button(QStringLiteral("Move Down"), 1073, this);

    m_description = new QLineEdit(this);
    SetDlgItemId(m_description, 1064);
    m_type = new QComboBox(this);
    SetDlgItemId(m_type, 1065);
    m_type->addItems({QStringLiteral("Fixed Aspect"), QStringLiteral("Fixed Size (in pixels)")});
    m_sizeLabel = new QLabel(QStringLiteral("Aspect/Size:"), this);
    SetDlgItemId(m_sizeLabel, 1066);
    m_width = new QLineEdit(this);
    SetDlgItemId(m_width, 1068);
    m_height = new QLineEdit(this);
    SetDlgItemId(m_height, 1069);
    m_unitsLabel = new QLabel(QStringLiteral("pixels"), this);
    SetDlgItemId(m_unitsLabel, 1067);
    m_units = new QComboBox(this);
    SetDlgItemId(m_units, 1139);
    m_units->addItems({QStringLiteral("None"), QStringLiteral("Centimeters"), QStringLiteral("Inches")});

    auto* ok = Button(QStringLiteral("OK"), IDOK, this);
    ok->setDefault(true);
    auto* defaults = Button(QStringLiteral("Defaults"), 3, this);
    auto* cancel = Button(QStringLiteral("Cancel"), IDCANCEL, this);

    auto* listButtons = new QVBoxLayout;
    for (QPushButton* b : {m_add, m_remove, m_up, m_down})
        listButtons->addWidget(b);
    listButtons->addStretch();
    auto* top = new QHBoxLayout;
    top->addWidget(m_list, 1);
    top->addLayout(listButtons);

    auto* fields = new QGridLayout;
    fields->addWidget(new QLabel(QStringLiteral("Description:"), this), 0, 0);
    fields->addWidget(m_description, 0, 1, 1, 5);
    fields->addWidget(new QLabel(QStringLiteral("Type:"), this), 1, 0);
    fields->addWidget(m_type, 1, 1, 1, 5);
    fields->addWidget(m_sizeLabel, 2, 0);
    fields->addWidget(m_width, 2, 1);
    fields->addWidget(new QLabel(QStringLiteral("X"), this), 2, 2);
    fields->addWidget(m_height, 2, 3);
    fields->addWidget(m_unitsLabel, 2, 4);
    fields->addWidget(m_units, 2, 5);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(ok);
    buttons->addWidget(defaults);
    buttons->addStretch();
    buttons->addWidget(cancel);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addLayout(fields);
    layout->addLayout(buttons);

    connect(m_list, &QListWidget::currentRowChanged, this, [this] { OnSelChange(); });
    connect(m_type, &QComboBox::activated, this, [this] { OnTypeChange(); });
    connect(m_units, &QComboBox::activated, this, [this] { OnUnitsChange(); });
    connect(m_description, &QLineEdit::textEdited, this, [this] { OnDescriptionChange(); });
    connect(m_width, &QLineEdit::textEdited, this, [this] { OnWidthChange(); });
    connect(m_height, &QLineEdit::textEdited, this, [this] { OnHeightChange(); });
    connect(m_add, &QPushButton::clicked, this, [this] { OnAdd(); });
    connect(m_remove, &QPushButton::clicked, this, [this] { OnRemove(); });
    connect(m_up, &QPushButton::clicked, this, [this] { OnMoveUp(); });
    connect(m_down, &QPushButton::clicked, this, [this] { OnMoveDown(); });
    connect(defaults, &QPushButton::clicked, this, [this] { OnDefaults(); });
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);

    resize(480, 360);
    if (m_pRules)
        FillList();
}

int CCustCropPresetsDlg::DoModal()
{
    return exec() == QDialog::Accepted ? IDOK : IDCANCEL;
}

void CCustCropPresetsDlg::InstallAsPresetsEditor()
{
    CCropPresets::SetEditor([](std::vector<CropRule>& rules) {
        CCustCropPresetsDlg dialog(&rules, QApplication::activeWindow());
        return dialog.DoModal() == IDOK ? 1 : 0;
    });
}

bool CCustCropPresetsDlg::ReadSize(const QString& text, double* value)
{
    // The longest decimal number at the start, after blanks, as "%lf" reads
    // it, but never through the C library (its locale may want a comma).
    static const QRegularExpression number(
        QStringLiteral("^[ \\t\\n\\v\\f\\r]*([+-]?(?:[0-9]+\\.?[0-9]*|\\.[0-9]+)(?:[eE][+-]?[0-9]+)?)"));
    const QRegularExpressionMatch m = number.match(text);
    if (!m.hasMatch())
        return false;
    // An exponent out of range reads as infinity, as "%lf" reads it: a
    // number, only too large.
    bool ok = false;
    const double v = QLocale::c().toDouble(m.captured(1), &ok);
    *value = ok || std::isinf(v) ? v : 0.0;
    return true;
}

CropRule* CCustCropPresetsDlg::Selected() const
{
    const int sel = m_list->currentRow();
    if (!m_pRules || sel < 0 || sel >= int(m_pRules->size()))
        return nullptr;
    return &(*m_pRules)[size_t(sel)];
}

void CCustCropPresetsDlg::FillList()
{
    if (!m_pRules)
        return;
    {
        const QSignalBlocker block(m_list);
        m_list->clear();
        for (const CropRule& rule : *m_pRules)
            m_list->addItem(rule.name);
        m_list->setCurrentRow(m_nCurrent >= 0 && m_nCurrent < m_list->count() ? m_nCurrent : -1);
    }
    OnSelChange();
    const int count = int(m_pRules->size());
    for (QWidget* w : std::initializer_list<QWidget*>{m_remove, m_type, m_description, m_width, m_height, m_units})
        w->setEnabled(count >= 1);
    m_up->setEnabled(count >= 2);
    m_down->setEnabled(count >= 2);
}

void CCustCropPresetsDlg::OnSelChange()
{
    const CropRule* rule = Selected();
    if (!rule)
        return;
    m_type->setCurrentIndex(rule->kind);
    OnTypeChange();
    m_description->setText(rule->name);
    ShowRule();
    m_units->setCurrentIndex(rule->units);
    OnUnitsChange();
    m_nCurrent = m_list->currentRow();
}

void CCustCropPresetsDlg::OnTypeChange()
{
    const int type = m_type->currentIndex();
    if (type < 0)
        return;
    const bool fixedSize = type == CropRule::kFixedSize;
    m_sizeLabel->setText(fixedSize ? QStringLiteral("Size:") : QStringLiteral("Aspect:"));
    m_unitsLabel->setText(fixedSize ? QStringLiteral("pixels") : QStringLiteral("Units:"));
    m_units->setVisible(!fixedSize);
    if (CropRule* rule = Selected()) {
        rule->kind = type;
        ShowRule();
    }
}

void CCustCropPresetsDlg::ShowRule()
{
    CropRule* rule = Selected();
    if (!rule)
        return;
    const int decimals = rule->kind == CropRule::kFixedSize ? 0 : 2;
    // QString::number ignores the locale: "." always.
    m_width->setText(QString::number(rule->width, 'f', decimals));
    m_height->setText(QString::number(rule->height, 'f', decimals));
    // The rule keeps what the fields show.
    OnWidthChange();
    OnHeightChange();
}

void CCustCropPresetsDlg::OnSizeChange(QLineEdit* edit, double CropRule::*side)
{
    CropRule* rule = Selected();
    if (!rule)
        return;
    double v = 0;
    if (ReadSize(edit->text(), &v))
        rule->*side = v <= 0 ? 1.0 : v > kMaxSize ? kMaxSize : v;
}

void CCustCropPresetsDlg::OnWidthChange()
{
    OnSizeChange(m_width, &CropRule::width);
}

void CCustCropPresetsDlg::OnHeightChange()
{
    OnSizeChange(m_height, &CropRule::height);
}

void CCustCropPresetsDlg::OnDescriptionChange()
{
    CropRule* rule = Selected();
    if (!rule)
        return;
    rule->name = m_description->text();
    // Renaming the item in place keeps the selection: no selection change.
    const QSignalBlocker block(m_list);
    m_list->currentItem()->setText(rule->name);
}

void CCustCropPresetsDlg::OnUnitsChange()
{
    if (CropRule* rule = Selected())
        rule->units = m_units->currentIndex();
}

void CCustCropPresetsDlg::OnAdd()
{
    if (!m_pRules)
        return;
    CropRule rule;
    rule.kind = CropRule::kFixedAspect;
    rule.name = QStringLiteral("New Crop Rule");
    rule.width = 1.0;
    rule.height = 1.0;
    rule.units = CropRule::kNone;
    auto& rules = *m_pRules;
    const int sel = Selected() ? m_list->currentRow() : -1;
    const int count = int(rules.size());
    if (sel < 0) {
        rules.push_back(rule);
        m_nCurrent = 0;
    } else if (sel == count - 1) {
        rules.push_back(rule);
        m_nCurrent = sel + 1;
    } else if (sel == 0) {
        rules.insert(rules.begin(), rule);
        m_nCurrent = 0;
    } else {
        rules.insert(rules.begin() + sel + 1, rule);
        m_nCurrent = sel + 1;
    }
    FillList();
}

void CCustCropPresetsDlg::OnRemove()
{
    if (!Selected())
        return;
    m_pRules->erase(m_pRules->begin() + m_list->currentRow());
    if (m_nCurrent >= int(m_pRules->size()))
        m_nCurrent = int(m_pRules->size()) - 1;
    FillList();
}

void CCustCropPresetsDlg::OnMoveUp()
{
    const int sel = m_list->currentRow();
    if (!Selected() || sel <= 0)
        return;
    std::swap((*m_pRules)[size_t(sel)], (*m_pRules)[size_t(sel - 1)]);
    m_nCurrent = sel - 1;
    FillList();
}

void CCustCropPresetsDlg::OnMoveDown()
{
    const int sel = m_list->currentRow();
    if (!Selected() || sel >= int(m_pRules->size()) - 1)
        return;
    std::swap((*m_pRules)[size_t(sel)], (*m_pRules)[size_t(sel + 1)]);
    m_nCurrent = sel + 1;
    FillList();
}

void CCustCropPresetsDlg::OnDefaults()
{
    if (!m_pRules)
        return;
    if (!MessageBoxes().AskQuestion(QStringLiteral("Are you sure you want to reset all presets to defaults?")))
        return;
    CCropPresets defaults;
    defaults.FromString(GetDefaultCropPresetsText());
    *m_pRules = defaults.GetRules();
    m_nCurrent = 0;
    FillList();
}
