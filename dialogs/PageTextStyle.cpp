#include "PageTextStyle.h"

#include "CButton.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "MenuResources.h"
#include "SpinButton.h"
#include "TextSettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSignalBlocker>
#include <QSlider>
#include <QTextCursor>
#include <QToolButton>
#include <QVBoxLayout>

#include <climits>

const ExifPlaceholder kExifPlaceholders[20] = {
    {"Date", "%d"},
    {"Time", "%t"},
    {"Date + Time", "%d %t"},
    {"Exposure Time", "%e"},
    {"F-number", "%f"},
    {"Focal Length", "%l"},
    {"35mm Focal Length", "%L"},
    {"ISO Value", "%i"},
    {"Device Name", "%M %m"},
    {"Comment", "%c"},
    {"User Comment", "%u"},
    {"Description", "%D"},
    {"Copyright", "%r"},
    {"Source Filename", "%V"},
    {"Source Filename + Ext", "%v"},
    {"Dest. Filename", "%W"},
    {"Dest. Filename + Ext", "%w"},
    {"GPS Latitude", "%GLt"},
    {"GPS Longitude", "%GLg"},
    {"GPS Altitude", "%GAl"},
};

namespace {

// The items of the context menu's "Insert Text" popup; each text is the
// menu text, a tab and the code.
std::vector<MenuItemTemplate> QuickInsertItems()
{
    std::vector<MenuItemTemplate> items;
    bool inside = false;
    for (const MenuItemTemplate& item : ContextMenuTemplate()) {
        if (item.level == 0) {
            inside = item.id == kMenuPopup && item.text && QString::fromUtf8(item.text) == QLatin1String("Insert Text");
            continue;
        }
        if (inside && item.level == 1 && item.id > 0 && item.text)
            items.push_back(item);
    }
    return items;
}

QString QuickInsertCode(int id)
{
    for (const MenuItemTemplate& item : QuickInsertItems()) {
        if (item.id == id) {
            const QString text = QString::fromUtf8(item.text);
            const qsizetype tab = text.indexOf(u'\t');
            return tab < 0 ? QString() : text.mid(tab + 1);
        }
    }
    return QString();
}


QFontDatabase::WritingSystem WritingSystemOf(int charset)
{
    switch (charset) {
    case 204: return QFontDatabase::Cyrillic;
    case 161: return QFontDatabase::Greek;
    case 177: return QFontDatabase::Hebrew;
    case 178: return QFontDatabase::Arabic;
    case 222: return QFontDatabase::Thai;
    case 128: return QFontDatabase::Japanese;
    case 134: return QFontDatabase::SimplifiedChinese;
    case 136: return QFontDatabase::TraditionalChinese;
    case 129: return QFontDatabase::Korean;
    case 163: return QFontDatabase::Vietnamese;
    default: return QFontDatabase::Latin;
    }
}

// Images 224 and 225: a bold "B" and an italic "I".
QIcon LetterIcon(const QString& letter, bool bold, bool italic)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    QFont font(QStringLiteral("Serif"));
    font.setPixelSize(14);
    font.setBold(bold);
    font.setItalic(italic);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(pixmap.rect(), Qt::AlignCenter, letter);
    painter.end();
    return QIcon(pixmap);
}

QToolButton* MakeToggle(QWidget* parent, int id, const QIcon& icon, const QString& text)
{
    auto* button = new QToolButton(parent);
    SetDlgItemId(button, id);
    button->setCheckable(true);
    button->setIcon(icon);
    button->setText(text);
    return button;
}

} // namespace

void FillPlaceholderCombo(QComboBox* combo)
{
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItem(QString(), QString());
    for (const ExifPlaceholder& row : kExifPlaceholders)
        combo->addItem(QString::fromUtf8(row.label), QString::fromUtf8(row.code));
}

void FillFontCombo(QComboBox* combo, int charset)
{
    QStringList names = QFontDatabase::families(WritingSystemOf(charset));
    if (names.isEmpty())
        names = QFontDatabase::families();
    const QSignalBlocker block(combo);
    combo->clear();
    combo->addItems(names);
}

int ShowQuickInsertMenu(QPlainTextEdit* edit, int id)
{
    if (!edit || !edit->isEnabled())
        return 0;
    const QString code = QuickInsertCode(id);
    if (code.isEmpty())
        return 0;
    QTextCursor cursor = edit->textCursor();
    const int start = cursor.selectionStart();
    QString text = edit->toPlainText();
    text.insert(start, QStringLiteral(" ") + code);
    edit->setPlainText(text);
    cursor = edit->textCursor();
    cursor.setPosition(start + int(code.size()) + 1);
    edit->setTextCursor(cursor);
    edit->ensureCursorVisible();
    return 1;
}

QString TemplateFromEdit(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(u'\n', QStringLiteral("\r\n"));
    return result;
}

QString TemplateToEdit(const QString& text)
{
    QString result = text;
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return result;
}

CPageTextStyle::CPageTextStyle(int templateId, const Ids& ids, const char* useText)
    : CPropertyPage(templateId), m_ids(ids), m_useText(QString::fromUtf8(useText))
{
}

void CPageTextStyle::ConnectNumber(CIntEdit* edit, CSpinButton* spin, int TextStyle::* field)
{
    connect(edit, &CIntEdit::changed, this, [this, edit, field] {
        if (TextStyle* style = m_pSettings ? Style() : nullptr; style && edit->isEnabled())
            style->*field = edit->GetValue();
    });
    if (spin) {
        connect(spin, &CSpinButton::deltaPos, this, [this, edit, field](int delta) {
            if (TextStyle* style = m_pSettings ? Style() : nullptr; style && edit->isEnabled())
                edit->SetValue(AddClamped(style->*field, -delta));
        });
    }
}

void CPageTextStyle::CreateControls(QWidget* window)
{
    auto* outer = new QVBoxLayout(window);
    auto* box = new QWidget(window);
    outer->addWidget(box);
    outer->addStretch();
    auto* grid = new QGridLayout(box);
    grid->setContentsMargins(0, 0, 0, 0);
    int row = 0;

    m_use = MakeCheck(m_useText, box, m_ids.use);
    grid->addWidget(m_use, row++, 0, 1, 6);
    AddHeadRows(box, grid, &row);

    m_template = new QPlainTextEdit(box);
    SetDlgItemId(m_template, m_ids.templ);
    m_template->setToolTip(QStringLiteral("Right-click for quick insert menu"));
    m_template->setFixedHeight(56);
    m_template->setContextMenuPolicy(Qt::NoContextMenu);
    m_template->viewport()->installEventFilter(this);
    grid->addWidget(MakeLabel(QStringLiteral("Template:"), box), row, 0);
    grid->addWidget(m_template, row++, 1, 1, 5);
    AddTemplateRows(box, grid, &row);

    m_font = new QComboBox(box);
    SetDlgItemId(m_font, m_ids.font);
    m_font->setEditable(true);
    m_font->setInsertPolicy(QComboBox::NoInsert);
    m_size = MakeIntEdit(box, m_ids.size, CIntEdit::DigitsOnly);
    CSpinButton* sizeSpin = MakeSpin(box, m_ids.sizeSpin);
    m_bold = MakeToggle(box, m_ids.bold, LetterIcon(QStringLiteral("B"), true, false), QStringLiteral("B"));
    m_italic = MakeToggle(box, m_ids.italic, LetterIcon(QStringLiteral("I"), false, true), QStringLiteral("I"));
    auto* fontRow = new QHBoxLayout;
    fontRow->addWidget(m_font, 1);
    fontRow->addWidget(MakeLabel(QStringLiteral("Size:"), box));
    fontRow->addWidget(m_size);
    fontRow->addWidget(sizeSpin);
    fontRow->addWidget(m_bold);
    fontRow->addWidget(m_italic);
    grid->addWidget(MakeLabel(QStringLiteral("Font:"), box), row, 0);
    grid->addLayout(fontRow, row++, 1, 1, 5);

    m_placement = MakeList({QStringLiteral("Top Left"), QStringLiteral("Top Center"), QStringLiteral("Top Right"),
                            QStringLiteral("Middle Left"), QStringLiteral("Center"), QStringLiteral("Middle Right"),
                            QStringLiteral("Bottom Left"), QStringLiteral("Bottom Center"),
                            QStringLiteral("Bottom Right")},
                           box, m_ids.placement);
    grid->addWidget(MakeLabel(QStringLiteral("Position:"), box), row, 0);
    grid->addWidget(m_placement, row++, 1, 1, 2);

    m_colorLabel = MakeLabel(QStringLiteral("Text colour:"), box);
    m_color = new CCButton(box);
    SetDlgItemId(m_color, m_ids.color);
    m_opacity = MakeTrackbar(box, m_ids.opacity, 5, 100, 10);
    grid->addWidget(m_colorLabel, row, 0);
    grid->addWidget(m_color, row, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Opacity:"), box), row, 2);
    grid->addWidget(m_opacity, row++, 3, 1, 3);

    m_useBG = MakeCheck(QStringLiteral("Background:"), box, m_ids.useBG);
    m_colorBG = new CCButton(box);
    SetDlgItemId(m_colorBG, m_ids.colorBG);
    m_opacityBGLabel = MakeLabel(QStringLiteral("Opacity:"), box);
    m_opacityBG = MakeTrackbar(box, m_ids.opacityBG, 5, 100, 10);
    grid->addWidget(m_useBG, row, 0);
    grid->addWidget(m_colorBG, row, 1);
    grid->addWidget(m_opacityBGLabel, row, 2);
    grid->addWidget(m_opacityBG, row++, 3, 1, 3);

    m_margin = MakeIntEdit(box, m_ids.margin, CIntEdit::DigitsOnly);
    CSpinButton* marginSpin = MakeSpin(box, m_ids.marginSpin);
    m_padX = MakeIntEdit(box, m_ids.padX, CIntEdit::DigitsAndMinus);
    CSpinButton* padXSpin = MakeSpin(box, m_ids.padXSpin);
    m_padY = MakeIntEdit(box, m_ids.padY, CIntEdit::DigitsAndMinus);
    CSpinButton* padYSpin = MakeSpin(box, m_ids.padYSpin);
    auto* spaceRow = new QHBoxLayout;
    spaceRow->addWidget(m_margin);
    spaceRow->addWidget(marginSpin);
    spaceRow->addWidget(MakeLabel(QStringLiteral("Offset X:"), box));
    spaceRow->addWidget(m_padX);
    spaceRow->addWidget(padXSpin);
    spaceRow->addWidget(MakeLabel(QStringLiteral("Offset Y:"), box));
    spaceRow->addWidget(m_padY);
    spaceRow->addWidget(padYSpin);
    spaceRow->addStretch();
    grid->addWidget(MakeLabel(QStringLiteral("Margin:"), box), row, 0);
    grid->addLayout(spaceRow, row++, 1, 1, 5);

    m_effect = MakeList({QStringLiteral("None"), QStringLiteral("Shadow"), QStringLiteral("Outline"),
                         QStringLiteral("Emboss"), QStringLiteral("Engrave"), QStringLiteral("3D")},
                        box, m_ids.effect);
    m_colorSh = new CCButton(box);
    SetDlgItemId(m_colorSh, m_ids.colorSh);
    m_widthLabel = MakeLabel(QStringLiteral("Width:"), box);
    m_width = MakeIntEdit(box, m_ids.width, CIntEdit::DigitsOnly);
    m_widthSpin = MakeSpin(box, m_ids.widthSpin);
    auto* effectRow = new QHBoxLayout;
    effectRow->addWidget(m_effect);
    effectRow->addWidget(MakeLabel(QStringLiteral("Shadow colour:"), box));
    effectRow->addWidget(m_colorSh);
    effectRow->addWidget(m_widthLabel);
    effectRow->addWidget(m_width);
    effectRow->addWidget(m_widthSpin);
    effectRow->addStretch();
    grid->addWidget(MakeLabel(QStringLiteral("Effect:"), box), row, 0);
    grid->addLayout(effectRow, row++, 1, 1, 5);
    grid->setColumnStretch(5, 1);

    connect(m_use, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_pSettings)
            return;
        Style()->Use = checked ? 1 : 0;
        UpdateControls();
    });
    connect(m_template, &QPlainTextEdit::textChanged, this, [this] {
        if (!m_pSettings || !TemplateWritable())
            return;
        Style()->Template = TemplateFromEdit(m_template->toPlainText());
        OnTemplateChanged();
    });
    auto storeFont = [this] {
        if (m_pSettings && m_font->isEnabled())
            Style()->Font = m_font->currentText();
    };
    connect(m_font, &QComboBox::activated, this, storeFont);
    connect(m_font, &QComboBox::editTextChanged, this, [this, storeFont] {
        if (m_font->lineEdit() && m_font->lineEdit()->hasFocus())
            storeFont();
    });
    ConnectNumber(m_size, sizeSpin, &TextStyle::FontSize);
    ConnectNumber(m_margin, marginSpin, &TextStyle::Margin);
    ConnectNumber(m_padX, padXSpin, &TextStyle::PaddingX);
    ConnectNumber(m_padY, padYSpin, &TextStyle::PaddingY);
    ConnectNumber(m_width, m_widthSpin, &TextStyle::EffWidth);
    connect(m_bold, &QToolButton::clicked, this, [this] {
        if (!m_pSettings)
            return;
        Style()->Bold = Style()->Bold ? 0 : 1;
        m_bold->setChecked(Style()->Bold != 0);
    });
    connect(m_italic, &QToolButton::clicked, this, [this] {
        if (!m_pSettings)
            return;
        Style()->Italic = Style()->Italic ? 0 : 1;
        m_italic->setChecked(Style()->Italic != 0);
    });
    connect(m_placement, &QComboBox::activated, this, [this](int index) {
        if (m_pSettings)
            Style()->Placement = index;
    });
    connect(m_effect, &QComboBox::activated, this, [this](int index) {
        if (!m_pSettings)
            return;
        Style()->Effect = index;
        ShowColors();
        ShowEffectWidth();
    });
    connect(m_useBG, &QCheckBox::clicked, this, [this](bool checked) {
        if (!m_pSettings)
            return;
        Style()->UseBG = checked ? 1 : 0;
        ShowBackground();
    });
    const std::pair<CCButton*, uint32_t TextStyle::*> colors[] = {
        {m_color, &TextStyle::Color}, {m_colorSh, &TextStyle::ColorSh}, {m_colorBG, &TextStyle::ColorBG}};
    for (const auto& [button, field] : colors) {
        connect(button, &CCButton::colorClicked, this, [this, button, field] {
            if (m_pSettings)
                Style()->*field = button->GetColor();
        });
    }
    // Every end of a user move, keyboard steps included.
    ConnectTrackEnd(m_opacity, this, [this] {
        if (m_pSettings && m_opacity->isEnabled())
            Style()->Opacity = m_opacity->value();
    });
    ConnectTrackEnd(m_opacityBG, this, [this] {
        if (m_pSettings && m_opacityBG->isEnabled())
            Style()->OpacityBG = m_opacityBG->value();
    });
}

bool CPageTextStyle::OnInitDialog()
{
    m_size->SetRange(12, INT_MAX);
    m_margin->SetRange(0, INT_MAX);
    m_width->SetRange(1, 3);
    return true;
}

void CPageTextStyle::OnDestroyWindow()
{
    delete m_quickMenu;
    m_quickMenu = nullptr;
    m_use = m_useBG = nullptr;
    m_template = nullptr;
    m_font = m_placement = m_effect = nullptr;
    m_size = m_margin = m_padX = m_padY = m_width = nullptr;
    m_widthSpin = nullptr;
    m_bold = m_italic = nullptr;
    m_color = m_colorSh = m_colorBG = nullptr;
    m_colorLabel = m_opacityBGLabel = m_widthLabel = nullptr;
    m_opacity = m_opacityBG = nullptr;
}

void CPageTextStyle::SetParams(TextSettings* settings)
{
    m_pSettings = settings;
    if (!settings || !GetSafeHwnd())
        return;
    FillFontCombo(m_font, FontCharset());
    UpdateControls();
}

bool CPageTextStyle::TemplateWritable() const
{
    return Style()->Use != 0;
}

void CPageTextStyle::ShowTemplate()
{
    const TextStyle* style = Style();
    m_template->setReadOnly(!TemplateWritable());
    const QString shown = style->Use ? TemplateToEdit(style->Template) : QString();
    if (m_template->toPlainText() != shown) {
        const QSignalBlocker block(m_template);
        m_template->setPlainText(shown);
    }
}

void CPageTextStyle::UpdateControls()
{
    const TextStyle* style = Style();
    const bool use = style->Use != 0;
    m_use->setChecked(use);
    // Every control but the switch follows it; the dependent groups below
    // narrow that down.
    for (QWidget* control : GetSafeHwnd()->findChildren<QWidget*>()) {
        if (control != m_use && control->parentWidget() && control->parentWidget()->parentWidget() == GetSafeHwnd())
            control->setEnabled(use);
    }
    ShowTemplate();
    {
        const QSignalBlocker block(m_font);
        m_font->setCurrentIndex(use ? m_font->findText(style->Font) : -1);
        m_font->setEditText(use ? style->Font : QString());
    }
    CIntEdit* numbers[] = {m_size, m_margin, m_padX, m_padY};
    const int values[] = {style->FontSize, style->Margin, style->PaddingX, style->PaddingY};
    for (size_t i = 0; i < std::size(numbers); ++i) {
        if (use)
            numbers[i]->SetValue(values[i]);
        else
            numbers[i]->setText(QString());
    }
    m_bold->setChecked(use && style->Bold);
    m_italic->setChecked(use && style->Italic);
    SelectIndex(m_placement, use ? style->Placement : -1);
    SelectIndex(m_effect, use ? style->Effect : -1);
    m_color->SetColor(style->Color);
    m_colorSh->SetColor(style->ColorSh);
    SetSliderPos(m_opacity, use ? style->Opacity : 0);
    m_useBG->setChecked(use && style->UseBG);
    ShowColors();
    ShowEffectWidth();
    ShowBackground();
}

void CPageTextStyle::ShowColors()
{
    const TextStyle* style = Style();
    const bool use = style->Use != 0;
    const bool text = use && style->Effect != 3 && style->Effect != 4;
    m_color->setEnabled(text);
    m_colorLabel->setEnabled(text);
    m_colorSh->setEnabled(use && (style->Effect == 1 || style->Effect == 2));
}

void CPageTextStyle::ShowEffectWidth()
{
    const TextStyle* style = Style();
    const bool shown = style->Use && style->Effect == 2;
    m_widthLabel->setVisible(shown);
    m_width->setVisible(shown);
    m_widthSpin->setVisible(shown);
    if (shown)
        m_width->SetValue(style->EffWidth);
}

void CPageTextStyle::ShowBackground()
{
    const TextStyle* style = Style();
    const bool enabled = style->Use && style->UseBG;
    m_colorBG->setEnabled(enabled);
    m_colorBG->SetColor(style->ColorBG);
    m_opacityBGLabel->setEnabled(enabled);
    m_opacityBG->setEnabled(enabled);
    SetSliderPos(m_opacityBG, enabled ? style->OpacityBG : 0);
}

bool CPageTextStyle::eventFilter(QObject* watched, QEvent* event)
{
    if (m_template && watched == m_template->viewport()) {
        if (event->type() == QEvent::ContextMenu)
            return true; // the edit's own menu never shows
        if (event->type() == QEvent::MouseButtonPress) {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() == Qt::RightButton) {
                if (m_template->isEnabled() && !m_template->isReadOnly())
                    OpenQuickMenu(mouse->globalPosition().toPoint());
                return true;
            }
        }
    }
    return CPropertyPage::eventFilter(watched, event);
}

void CPageTextStyle::OpenQuickMenu(const QPoint& globalPos)
{
    delete m_quickMenu;
    m_quickMenu = new QMenu(GetSafeHwnd());
    m_quickMenu->setTitle(QStringLiteral("Insert Text"));
    for (const MenuItemTemplate& item : QuickInsertItems()) {
        QAction* action = m_quickMenu->addAction(QString::fromUtf8(item.text));
        const int id = item.id;
        connect(action, &QAction::triggered, this, [this, id] {
            if (ShowQuickInsertMenu(m_template, id) && m_pSettings && TemplateWritable()) {
                Style()->Template = TemplateFromEdit(m_template->toPlainText());
                OnTemplateChanged();
            }
        });
    }
    m_quickMenu->popup(globalPos);
}
