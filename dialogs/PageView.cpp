#include "PageView.h"

#include "AppSettings.h"
#include "CButton.h"
#include "DlgItems.h"
#include "DlgOperControls.h"
#include "DialogHost.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QSlider>
#include <QVBoxLayout>

namespace {

QSlider* MakePlainTrackbar(QWidget* parent, int id)
{
    auto* slider = new QSlider(Qt::Horizontal, parent);
    SetDlgItemId(slider, id);
    slider->setTickPosition(QSlider::NoTicks);
    return slider;
}

} // namespace

void CPageView::CreateControls(QWidget* window)
{
    auto* layout = new QHBoxLayout(window);
    auto* left = new QVBoxLayout;

    auto* workspace = new QGroupBox(QStringLiteral("Workspace"), window);
    auto* workRow = new QHBoxLayout(workspace);
    m_color = new CCButton(workspace);
    SetDlgItemId(m_color, 1002);
    workRow->addWidget(new QLabel(QStringLiteral("Background Color:"), workspace));
    workRow->addWidget(m_color);
    workRow->addStretch(1);

    auto* images = new QGroupBox(QStringLiteral("Images"), window);
    auto* imageGrid = new QGridLayout(images);
    m_scale = MakeList({QStringLiteral("Keep Selected Scale"), QStringLiteral("Shrink to Fit"),
                        QStringLiteral("Scale to Original Size")},
                       images, 1061);
    m_drawMode = MakeList({QStringLiteral("ColorOnColor (Speed)"), QStringLiteral("HalfTone (Quality)")}, images, 1063);
    m_sort = MakeList({QStringLiteral("File Name"), QStringLiteral("Modification Time")}, images, 1062);
    imageGrid->addWidget(new QLabel(QStringLiteral("Scale on Open:"), images), 0, 0);
    imageGrid->addWidget(m_scale, 0, 1);
    imageGrid->addWidget(new QLabel(QStringLiteral("Draw Mode:"), images), 1, 0);
    imageGrid->addWidget(m_drawMode, 1, 1);
    imageGrid->addWidget(new QLabel(QStringLiteral("Sort Images by:"), images), 2, 0);
    imageGrid->addWidget(m_sort, 2, 1);

    auto* style = new QGroupBox(QStringLiteral("Thumbnail style"), window);
    auto* styleLayout = new QVBoxLayout(style);
    m_border = MakeCheck(QStringLiteral("Show border"), style, 1153);
    m_shadow = MakeCheck(QStringLiteral("Show drop shadow"), style, 1154);
    styleLayout->addWidget(m_border);
    styleLayout->addWidget(m_shadow);

    left->addWidget(workspace);
    left->addWidget(images);
    left->addWidget(style);
    left->addStretch(1);

    auto* thumbs = new QGroupBox(QStringLiteral("Browser PaneThumbnails"), window);
    auto* thumbGrid = new QGridLayout(thumbs);
    m_names = MakeCheck(QStringLiteral("Show File Names"), thumbs, 1009);
    m_spacing = MakePlainTrackbar(thumbs, 1077);
    m_size = MakePlainTrackbar(thumbs, 1078);
    m_preview = new QFrame(thumbs);
    SetDlgItemId(m_preview, 1080);
    m_preview->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    // Large enough for the largest box: 150 + 2 x 30 plus a label.
    m_preview->setFixedSize(236, 250);
    thumbGrid->addWidget(m_names, 0, 0, 1, 2);
    thumbGrid->addWidget(new QLabel(QStringLiteral("Spacing:"), thumbs), 1, 0);
    thumbGrid->addWidget(m_spacing, 1, 1);
    thumbGrid->addWidget(new QLabel(QStringLiteral("Size:"), thumbs), 2, 0);
    thumbGrid->addWidget(m_size, 2, 1);
    thumbGrid->addWidget(m_preview, 3, 0, 1, 2, Qt::AlignHCenter);
    thumbGrid->setRowStretch(4, 1);

    layout->addLayout(left, 1);
    layout->addWidget(thumbs);

    connect(m_names, &QCheckBox::clicked, this, [this] { UpdatePreview(); });
    // The preview follows the trackbars live, through the working copy.
    const std::pair<QSlider*, int CAppSettings::*> trackbars[] = {
        {m_spacing, &CAppSettings::ThumbSpace},
        {m_size, &CAppSettings::ThumbWidth},
    };
    for (const auto& [slider, member] : trackbars) {
        connect(slider, &QSlider::valueChanged, this, [this, member](int position) {
            if (!m_pSettings)
                return;
            m_pSettings->*member = position;
            UpdatePreview();
        });
    }
}

bool CPageView::OnInitDialog()
{
    m_spacing->setRange(3, 30);
    m_size->setRange(40, 150);
    m_box = new QFrame(m_preview);
    m_box->setFrameStyle(QFrame::Panel | QFrame::Raised);
    SetDlgItemId(m_box, 0xFFFF);
    m_image = new QFrame(m_box);
    m_image->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_image->setAutoFillBackground(true);
    SetDlgItemId(m_image, 0xFFFF);
    m_label = new QLabel(QStringLiteral("Image.jpg"), m_box);
    m_label->setAlignment(Qt::AlignCenter);
    SetDlgItemId(m_label, 0xFFFF);
    for (QWidget* w : std::initializer_list<QWidget*>{m_box, m_image, m_label})
        w->setGeometry(QRect());
    return true;
}

void CPageView::OnDestroyWindow()
{
    m_color = nullptr;
    m_scale = m_drawMode = m_sort = nullptr;
    m_names = m_border = m_shadow = nullptr;
    m_spacing = m_size = nullptr;
    m_preview = m_box = m_image = nullptr;
    m_label = nullptr;
}

void CPageView::LoadSettings()
{
    if (!m_pSettings || !GetSafeHwnd())
        return;
    const CAppSettings& s = *m_pSettings;
    m_color->SetColor(uint32_t(s.BackgroundColor));
    SelectIndex(m_scale, s.ScaleOnOpen);
    SelectIndex(m_drawMode, s.DrawMode);
    SelectIndex(m_sort, s.SortType);
    m_names->setChecked(s.ShowThumbFilename != 0);
    // Read both before either trackbar writes its field back.
    const int space = s.ThumbSpace;
    const int width = s.ThumbWidth;
    m_spacing->setValue(space);
    m_size->setValue(width);
    m_border->setChecked(s.ThumbBorder != 0);
    m_shadow->setChecked(s.ThumbShadow != 0);
    UpdatePreview();
}

void CPageView::StoreSettings()
{
    if (!m_pSettings || !GetSafeHwnd())
        return;
    CAppSettings& s = *m_pSettings;
    s.BackgroundColor = int(m_color->GetColor());
    s.ScaleOnOpen = m_scale->currentIndex();
    s.DrawMode = m_drawMode->currentIndex();
    s.SortType = m_sort->currentIndex();
    s.ShowThumbFilename = m_names->isChecked() ? 1 : 0;
    s.ThumbSpace = m_spacing->value();
    s.ThumbWidth = m_size->value();
    s.ThumbBorder = m_border->isChecked() ? 1 : 0;
    s.ThumbShadow = m_shadow->isChecked() ? 1 : 0;
}

void CPageView::UpdatePreview()
{
    if (!m_pSettings || !m_box)
        return;
    const int w = m_preview->width();
    const int h = m_preview->height();
    const int s = m_pSettings->ThumbSpace;
    const int t = m_pSettings->ThumbWidth;
    const int l = m_pSettings->GetThumbLabelHeight(0);
    const bool names = m_names->isChecked();
    const int c = t + 2 * s;
    const int b = names ? c + l : c;
    m_box->setGeometry((w - c) / 2, (h - b) / 2, c, b);
    m_image->setGeometry(s, s, t, t);
    if (const DialogHost& host = TheDialogHost(); host.applyFont)
        host.applyFont(m_label, l, QStringLiteral("MS Shell Dlg"));
    m_label->setGeometry(s, s + t, t, l);
    m_label->setVisible(names);
    m_box->show();
    m_image->show();
    m_label->update();
}
