#include "PageTextFormat.h"

#include "DlgItems.h"
#include "DlgOperControls.h"
#include "LocaleManager.h"
#include "DialogHost.h"
#include "LocaleManager.h"
#include "TextSettings.h"

#include "platform/DateFormat.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QLineEdit>
#include <QSignalBlocker>

namespace {

CLocaleManager* Locales()
{
    const DialogHost& host = TheDialogHost();
    return host.locales ? host.locales() : nullptr;
}

void SelectData(QComboBox* combo, LCID locale)
{
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(combo->findData(uint(locale)));
}

using FormatCall = int (*)(LCID, uint32_t, const SYSTEMTIME*, const char16_t*, char16_t*, int);

// Resets `combo` to the pictures that format now, each shown as its sample,
// and puts `current` into the edit.
void FillPictures(CComboBoxL* combo, LCID locale, const QStringList& pictures, FormatCall format,
                  const QString& current)
{
    const QSignalBlocker block(combo);
    combo->ResetContent();
    for (const QString& picture : pictures) {
        char16_t buffer[260];
        const std::u16string value(reinterpret_cast<const char16_t*>(picture.utf16()), size_t(picture.size()));
        if (format(locale, 0, nullptr, value.c_str(), buffer, 260) > 0)
            combo->AddItem(picture, QString::fromUtf16(buffer));
    }
    combo->setCurrentIndex(-1);
    combo->lineEdit()->setText(current);
}

} // namespace

CFormatCombo::CFormatCombo(QWidget* parent)
    : CComboBoxL(parent)
{
    setEditable(true);
    setInsertPolicy(QComboBox::NoInsert);
    setCompleter(nullptr);
}

void CFormatCombo::hidePopup()
{
    CComboBoxL::hidePopup();
    emit listClosed();
}

void CPageTextFormat::CreateControls(QWidget* window)
{
    auto* grid = new QGridLayout(window);
    m_localeEX = MakeList({}, window, 1051);
    m_localeCT = MakeList({}, window, 1054);
    m_date = new CFormatCombo(window);
    SetDlgItemId(m_date, 1052);
    m_time = new CFormatCombo(window);
    SetDlgItemId(m_time, 1053);
    m_useFileTime = MakeCheck(QStringLiteral("Use File Date / Time if there is no EXIF"), window, 1084);
    m_fractions = MakeCheck(QStringLiteral("Show Fractions of Seconds (if present)"), window, 1171);
    grid->addWidget(MakeLabel(QStringLiteral("EXIF text language:"), window), 0, 0);
    grid->addWidget(m_localeEX, 0, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Custom text language:"), window), 1, 0);
    grid->addWidget(m_localeCT, 1, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Date format:"), window), 2, 0);
    grid->addWidget(m_date, 2, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Time format:"), window), 3, 0);
    grid->addWidget(m_time, 3, 1);
    grid->addWidget(m_useFileTime, 4, 0, 1, 2);
    grid->addWidget(m_fractions, 5, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setRowStretch(6, 1);

    connect(m_localeEX, &QComboBox::activated, this, [this](int index) {
        if (!m_pSettings || index < 0)
            return;
        m_pSettings->LocaleEX = LCID(m_localeEX->itemData(index).toUInt());
        if (CLocaleManager* locales = Locales())
            m_pSettings->CodePage = locales->GetAnsiCodePage(m_pSettings->LocaleEX);
        FillDateTime();
    });
    connect(m_localeCT, &QComboBox::activated, this, [this](int index) {
        if (m_pSettings && index >= 0)
            m_pSettings->LocaleCT = LCID(m_localeCT->itemData(index).toUInt());
    });
    ConnectPicture(m_date, &TextSettings::DateFormat);
    ConnectPicture(m_time, &TextSettings::TimeFormat);
    connect(m_useFileTime, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_pSettings)
            m_pSettings->UseFileTime = checked ? 1 : 0;
    });
    connect(m_fractions, &QCheckBox::clicked, this, [this](bool checked) {
        if (m_pSettings)
            m_pSettings->FractionsOfSeconds = checked ? 1 : 0;
    });
}

void CPageTextFormat::ConnectPicture(CFormatCombo* combo, QString TextSettings::* field)
{
    connect(combo->lineEdit(), &QLineEdit::textEdited, this, [this, field](const QString& text) {
        if (m_pSettings)
            m_pSettings->*field = text;
    });
    connect(combo, &QComboBox::activated, this, [this, combo, field](int index) {
        if (!m_pSettings || index < 0)
            return;
        m_pSettings->*field = combo->GetLBText(index);
        // The edit shows the picture, never the sample.
        combo->lineEdit()->setText(m_pSettings->*field);
    });
    connect(combo, &CFormatCombo::listClosed, this, [this, combo, field] {
        if (m_pSettings)
            combo->lineEdit()->setText(m_pSettings->*field);
    });
}

bool CPageTextFormat::OnInitDialog()
{
    CLocaleManager* locales = Locales();
    if (!locales)
        return true;
    QComboBox* combos[] = {m_localeEX, m_localeCT};
    for (QComboBox* combo : combos) {
        const QSignalBlocker block(combo);
        combo->clear();
        for (uint32_t locale : locales->GetKeyboardLocales())
            combo->addItem(QStringLiteral("::: ") + locales->GetLanguageName(locale), uint(locale));
        for (uint32_t locale : locales->GetSystemLocales())
            combo->addItem(locales->GetLanguageName(locale) + QStringLiteral(" [") + locales->GetCountryName(locale) +
                               QStringLiteral("]"),
                           uint(locale));
    }
    return true;
}

void CPageTextFormat::OnDestroyWindow()
{
    m_localeEX = m_localeCT = nullptr;
    m_date = m_time = nullptr;
    m_useFileTime = m_fractions = nullptr;
}

void CPageTextFormat::SetParams(TextSettings* settings)
{
    m_pSettings = settings;
    if (!settings || !GetSafeHwnd())
        return;
    SelectData(m_localeEX, settings->LocaleEX);
    SelectData(m_localeCT, settings->LocaleCT);
    FillDateTime();
    m_useFileTime->setChecked(settings->UseFileTime != 0);
    m_fractions->setChecked(settings->FractionsOfSeconds != 0);
}

void CPageTextFormat::FillDateTime()
{
    CLocaleManager* locales = Locales();
    if (!locales)
        return;
    const LCID locale = m_pSettings->LocaleEX;
    FillPictures(m_date, locale, locales->GetDateFormats(locale), &GetDateFormatW, m_pSettings->DateFormat);
    FillPictures(m_time, locale, locales->GetTimeFormats(locale), &GetTimeFormatW, m_pSettings->TimeFormat);
}
