#include "PageSave.h"

#include "DlgItems.h"
#include "DlgOperControls.h"
#include "IntEdit.h"
#include "DialogHost.h"
#include "SaveSettings.h"
#include "SpinButton.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <functional>

namespace {

using IntMember = int SaveSettings::*;

// A click stores the box's state into `member`, then runs `after`.
void BindCheck(QCheckBox* check, QObject* page, SaveSettings* const* params, IntMember member,
               std::function<void()> after = {})
{
    QObject::connect(check, &QCheckBox::clicked, page, [params, member, after](bool checked) {
        if (!*params)
            return;
        (*params)->*member = checked ? 1 : 0;
        if (after)
            after();
    });
}

// Shows `text` in an enabled edit, or blanks a disabled one. The edit is
// disabled before it is blanked, so its handler, which stores only while the
// edit is enabled, never takes the blank.
void ShowIfOn(QLineEdit* edit, bool on, const QString& text)
{
    if (on) {
        edit->setEnabled(true);
        edit->setText(text);
    } else {
        edit->setEnabled(false);
        edit->clear();
    }
}

void ShowValueIfOn(CIntEdit* edit, bool on, int value)
{
    if (on) {
        edit->setEnabled(true);
        edit->SetValue(value);
    } else {
        ShowIfOn(edit, false, QString());
    }
}

// A text edit whose user edits are stored into `member` at once.
QLineEdit* MakeTextEdit(QWidget* parent, int id, QObject* page, SaveSettings* const* params,
                        QString SaveSettings::*member)
{
    auto* edit = new QLineEdit(parent);
    SetDlgItemId(edit, id);
    QObject::connect(edit, &QLineEdit::textEdited, page, [edit, params, member](const QString& text) {
        if (*params && edit->isEnabled())
            (*params)->*member = text;
    });
    return edit;
}

QWidget* MainWindow()
{
    const DialogHost& host = TheDialogHost();
    return host.mainWindow ? host.mainWindow() : nullptr;
}

} // namespace

// --- Compression ---

void CPageSaveCompression::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    auto* modeBox = new QGroupBox(QStringLiteral("Compression Mode"), window);
    auto* modeRow = new QHBoxLayout(modeBox);
    m_mode = MakeList({QStringLiteral("Changes Only / Original Quality"), QStringLiteral("All / Select Quality")},
                      modeBox, 1096);
    modeRow->addWidget(MakeLabel(QStringLiteral("Recompress:"), modeBox));
    modeRow->addWidget(m_mode, 1);

    auto* qualityBox = new QGroupBox(QStringLiteral("JPEG Quality"), window);
    SetDlgItemId(qualityBox, 1103);
    auto* grid = new QGridLayout(qualityBox);
    m_trackbar = MakeTrackbar(qualityBox, 1102, 0, 100, 10);
    m_quality = MakeIntEdit(qualityBox, 1098, CIntEdit::DigitsOnly);
    m_spin = MakeSpin(qualityBox, 1099);
    m_sampling = MakeList({QStringLiteral("1 (Favor Quality)"), QStringLiteral("2 (Favor Size)")}, qualityBox, 1097);
    grid->addWidget(MakeLabel(QStringLiteral("Best Compression"), qualityBox, 1104), 0, 0);
    grid->addWidget(m_trackbar, 0, 1, 1, 3);
    grid->addWidget(MakeLabel(QStringLiteral("Best Quality"), qualityBox, 1105), 0, 4);
    auto* editRow = new QHBoxLayout;
    editRow->addWidget(m_quality);
    editRow->addWidget(m_spin);
    editRow->addStretch(1);
    grid->addLayout(editRow, 1, 1);
    grid->addWidget(MakeLabel(QStringLiteral("Color Sampling:"), qualityBox, 1106), 2, 0);
    grid->addWidget(m_sampling, 2, 1);
    grid->setColumnStretch(2, 1);

    auto* optBox = new QGroupBox(QStringLiteral("Optimization"), window);
    m_huffman = MakeCheck(QStringLiteral("Optimize Huffman Table"), optBox, 1005);
    (new QVBoxLayout(optBox))->addWidget(m_huffman);

    layout->addWidget(modeBox);
    layout->addWidget(qualityBox);
    layout->addWidget(optBox);
    layout->addStretch(1);

    connect(m_mode, &QComboBox::activated, this, [this](int index) {
        if (!m_pParams)
            return;
        m_pParams->CompressionMode = index;
        UpdateQualityState();
    });
    connect(m_quality, &CIntEdit::changed, this, [this] { OnQualityEdit(); });
    // A keyboard move ends a move like a mouse release does.
    ConnectTrackEnd(m_trackbar, this, [this] {
        if (m_trackbar->isEnabled())
            m_quality->SetValue(m_trackbar->value());
    });
    connect(m_spin, &CSpinButton::deltaPos, this, [this](int delta) {
        if (m_pParams && m_quality->isEnabled())
            m_quality->SetValue(AddClamped(m_pParams->Quality, -delta));
    });
    connect(m_sampling, &QComboBox::activated, this, [this](int index) {
        if (m_pParams)
            m_pParams->ColorSampling = index;
    });
    BindCheck(m_huffman, this, &m_pParams, &SaveSettings::OptHuffmanTable);
}

bool CPageSaveCompression::OnInitDialog()
{
    m_quality->SetRange(0, 100);
    return true;
}

void CPageSaveCompression::OnDestroyWindow()
{
    m_mode = nullptr;
    m_trackbar = nullptr;
    m_quality = nullptr;
    m_spin = nullptr;
    m_sampling = nullptr;
    m_huffman = nullptr;
}

void CPageSaveCompression::SetParams(SaveSettings* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    SelectIndex(m_mode, params->CompressionMode);
    UpdateQualityState();
    m_huffman->setChecked(params->OptHuffmanTable != 0);
}

void CPageSaveCompression::UpdateQualityState()
{
    const bool active = m_pParams->CompressionMode == 1;
    QWidget* window = GetSafeHwnd();
    const int ids[] = {1103, 1104, 1102, 1105, 1098, 1099, 1106, 1097};
    if (active)
        EnableDlgItems(window, ids, 8, 1);
    SetSliderPos(m_trackbar, active ? m_pParams->Quality : 0);
    ShowValueIfOn(m_quality, active, m_pParams->Quality);
    SelectIndex(m_sampling, active ? m_pParams->ColorSampling : -1);
    if (!active)
        EnableDlgItems(window, ids, 8, 0);
}

void CPageSaveCompression::OnQualityEdit()
{
    if (!m_pParams || !m_quality->isEnabled())
        return;
    m_pParams->Quality = m_quality->GetValue();
    SetSliderPos(m_trackbar, m_pParams->Quality);
}

// --- EXIF ---

void CPageSaveEXIF::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    auto* box = new QGroupBox(QStringLiteral("Metadata"), window);
    auto* grid = new QGridLayout(box);
    m_comments = MakeCheck(QStringLiteral("Save Comments"), box, 1003);
    m_exif = MakeCheck(QStringLiteral("Save EXIF"), box, 1004);
    m_thumb = MakeList({QStringLiteral("Discard"), QStringLiteral("Keep Existing"), QStringLiteral("Update")}, box, 1085);
    m_size = MakeIntEdit(box, 1089, CIntEdit::DigitsOnly);
    m_spin = MakeSpin(box, 1090);
    grid->addWidget(m_comments, 0, 0);
    grid->addWidget(m_exif, 1, 0);
    grid->addWidget(MakeLabel(QStringLiteral("EXIF Thumbnail:"), box, 1086), 1, 1);
    grid->addWidget(m_thumb, 1, 2);
    grid->addWidget(MakeLabel(QStringLiteral("Thumbnail Size:"), box, 1088), 2, 1);
    auto* sizeRow = new QHBoxLayout;
    sizeRow->addWidget(m_size);
    sizeRow->addWidget(m_spin);
    sizeRow->addStretch(1);
    grid->addLayout(sizeRow, 2, 2);
    grid->setColumnStretch(3, 1);
    layout->addWidget(box);
    layout->addStretch(1);

    BindCheck(m_comments, this, &m_pParams, &SaveSettings::SaveComments);
    BindCheck(m_exif, this, &m_pParams, &SaveSettings::SaveEXIF, [this] { UpdateExifState(); });
    connect(m_thumb, &QComboBox::activated, this, [this](int index) {
        if (!m_pParams)
            return;
        m_pParams->GenerateEXIFThumb = index;
        UpdateThumbSizeState();
    });
    connect(m_size, &CIntEdit::changed, this, [this] {
        if (m_pParams && m_size->isEnabled())
            m_pParams->EXIFThumbSize = m_size->GetValue();
    });
    connect(m_spin, &CSpinButton::deltaPos, this, [this](int delta) {
        if (m_pParams && m_size->isEnabled())
            m_size->SetValue(AddClamped(m_pParams->EXIFThumbSize, -delta));
    });
}

bool CPageSaveEXIF::OnInitDialog()
{
    m_size->SetRange(32, 256);
    return true;
}

void CPageSaveEXIF::OnDestroyWindow()
{
    m_comments = nullptr;
    m_exif = nullptr;
    m_thumb = nullptr;
    m_size = nullptr;
    m_spin = nullptr;
}

void CPageSaveEXIF::SetParams(SaveSettings* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    m_comments->setChecked(params->SaveComments != 0);
    m_exif->setChecked(params->SaveEXIF != 0);
    UpdateExifState();
}

void CPageSaveEXIF::UpdateExifState()
{
    const bool on = m_pParams->SaveEXIF != 0;
    const int ids[] = {1086, 1085};
    EnableDlgItems(GetSafeHwnd(), ids, 2, on);
    SelectIndex(m_thumb, on ? m_pParams->GenerateEXIFThumb : -1);
    UpdateThumbSizeState();
}

void CPageSaveEXIF::UpdateThumbSizeState()
{
    const bool active = m_pParams->SaveEXIF && m_pParams->GenerateEXIFThumb == 2;
    const int ids[] = {1088, 1090};
    EnableDlgItems(GetSafeHwnd(), ids, 2, active);
    ShowValueIfOn(m_size, active, m_pParams->EXIFThumbSize);
}

// --- File ---

void CPageSaveFile::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    auto* target = new QGroupBox(QStringLiteral("Target"), window);
    auto* grid = new QGridLayout(target);
    m_useSuffix = MakeCheck(QStringLiteral("Add Suffix:"), target, 1009);
    m_suffix = MakeTextEdit(target, 1091, this, &m_pParams, &SaveSettings::SaveSuffix);
    m_useFolder = MakeCheck(QStringLiteral("Destination Folder:"), target, 1010);
    m_folder = MakeTextEdit(target, 1092, this, &m_pParams, &SaveSettings::DstFolder);
    m_browse = new QPushButton(QStringLiteral("..."), target);
    SetDlgItemId(m_browse, 1075);
    m_browse->setAutoDefault(false);
    grid->addWidget(m_useSuffix, 0, 0);
    grid->addWidget(m_suffix, 0, 1);
    grid->addWidget(m_useFolder, 1, 0);
    grid->addWidget(m_folder, 1, 1);
    grid->addWidget(m_browse, 1, 2);
    grid->setColumnStretch(1, 1);

    auto* timeBox = new QGroupBox(QStringLiteral("File Time"), window);
    m_retainTime = MakeCheck(QStringLiteral("Retain Original File Time"), timeBox, 1007);
    (new QVBoxLayout(timeBox))->addWidget(m_retainTime);
    layout->addWidget(target);
    layout->addWidget(timeBox);
    layout->addStretch(1);

    BindCheck(m_retainTime, this, &m_pParams, &SaveSettings::RetainOriginalTime);
    BindCheck(m_useSuffix, this, &m_pParams, &SaveSettings::UseSaveSuffix, [this] { UpdateSuffixState(); });
    BindCheck(m_useFolder, this, &m_pParams, &SaveSettings::UseDstFolder, [this] { UpdateFolderState(); });
    connect(m_browse, &QPushButton::clicked, this, [this] { OnBrowseFolder(); });
}

void CPageSaveFile::OnDestroyWindow()
{
    m_useSuffix = nullptr;
    m_suffix = nullptr;
    m_useFolder = nullptr;
    m_folder = nullptr;
    m_browse = nullptr;
    m_retainTime = nullptr;
}

void CPageSaveFile::SetParams(SaveSettings* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    m_retainTime->setChecked(params->RetainOriginalTime != 0);
    m_useSuffix->setChecked(params->UseSaveSuffix != 0);
    UpdateSuffixState();
    m_useFolder->setChecked(params->UseDstFolder != 0);
    UpdateFolderState();
}

void CPageSaveFile::UpdateSuffixState()
{
    ShowIfOn(m_suffix, m_pParams->UseSaveSuffix != 0, m_pParams->SaveSuffix);
}

void CPageSaveFile::UpdateFolderState()
{
    const bool on = m_pParams->UseDstFolder != 0;
    ShowIfOn(m_folder, on, m_pParams->DstFolder);
    m_browse->setEnabled(on);
}

void CPageSaveFile::OnBrowseFolder()
{
    if (!m_pParams)
        return;
    // The picker starts at the folder itself, without a trailing "/"; the
    // root stays "/".
    QString folder = m_pParams->DstFolder;
    while (folder.size() > 1 && folder.endsWith(u'/'))
        folder.chop(1);
    if (!BrowseForFolder(folder, QStringLiteral("Select a folder"), MainWindow()))
        return;
    m_pParams->DstFolder = folder;
    if (m_folder)
        m_folder->setText(folder);
}

// --- Confirm ---

void CPageSaveConfirm::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    auto* box = new QGroupBox(QStringLiteral("Confirmations"), window);
    auto* inner = new QVBoxLayout(box);
    m_autoSave = MakeCheck(QStringLiteral("Auto Save on Image Close/Leave"), box, 1008);
    m_confirm = MakeCheck(QStringLiteral("Confirm Save"), box, 1010);
    inner->addWidget(m_autoSave);
    inner->addWidget(m_confirm);
    layout->addWidget(box);
    layout->addStretch(1);
    BindCheck(m_autoSave, this, &m_pParams, &SaveSettings::AutoSave);
    BindCheck(m_confirm, this, &m_pParams, &SaveSettings::ConfirmSave);
}

void CPageSaveConfirm::OnDestroyWindow()
{
    m_autoSave = nullptr;
    m_confirm = nullptr;
}

void CPageSaveConfirm::SetParams(SaveSettings* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    m_autoSave->setChecked(params->AutoSave != 0);
    m_confirm->setChecked(params->ConfirmSave != 0);
}

// --- Save As ---

void CPageSaveAs::CreateControls(QWidget* window)
{
    auto* layout = new QVBoxLayout(window);
    auto* box = new QGroupBox(QStringLiteral("Target"), window);
    auto* grid = new QGridLayout(box);
    m_originalFolder = MakeCheck(QStringLiteral("Open 'Save As' in Original Folder"), box, 1010);
    m_useSuffix = MakeCheck(QStringLiteral("'Save As' Dialog Auto Suffix:"), box, 1009);
    m_suffix = MakeTextEdit(box, 1091, this, &m_pParams, &SaveSettings::SaveAsSuffix);
    grid->addWidget(m_originalFolder, 0, 0, 1, 2);
    grid->addWidget(m_useSuffix, 1, 0);
    grid->addWidget(m_suffix, 1, 1);
    grid->setColumnStretch(1, 1);
    layout->addWidget(box);
    layout->addStretch(1);
    BindCheck(m_originalFolder, this, &m_pParams, &SaveSettings::OriginalSaveAsFolder);
    BindCheck(m_useSuffix, this, &m_pParams, &SaveSettings::UseSaveAsSuffix, [this] { UpdateSuffixState(); });
}

void CPageSaveAs::OnDestroyWindow()
{
    m_originalFolder = nullptr;
    m_useSuffix = nullptr;
    m_suffix = nullptr;
}

void CPageSaveAs::SetParams(SaveSettings* params)
{
    m_pParams = params;
    if (!params || !GetSafeHwnd())
        return;
    m_originalFolder->setChecked(params->OriginalSaveAsFolder != 0);
    m_useSuffix->setChecked(params->UseSaveAsSuffix != 0);
    UpdateSuffixState();
}

void CPageSaveAs::UpdateSuffixState()
{
    ShowIfOn(m_suffix, m_pParams->UseSaveAsSuffix != 0, m_pParams->SaveAsSuffix);
}
