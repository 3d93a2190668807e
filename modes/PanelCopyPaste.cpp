#include "PanelCopyPaste.h"

#include "ChildView.h"
#include "CommandIds.h"
#include "CommandTable.h"
#include "CropParams.h"
#include "DlgOperControls.h"
#include "ModeCopy.h"
#include "ModeHost.h"
#include "ModePaste.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QPushButton>

namespace {

constexpr int kAlignByBlockId = 1183;

} // namespace

QCheckBox* CPanelBlockAlign::MakeAlignCheck(QWidget* window, bool statusTexts)
{
    m_align = MakeCheck(QStringLiteral("Align Selection by Block"), window, kAlignByBlockId);
    connect(m_align, &QCheckBox::clicked, this, [statusTexts](bool checked) {
        if (CropParams* crop = CropOptions())
            crop->AlignSelectionByBlock = checked ? 1 : 0;
        CChildView* view = View();
        if (!view)
            return;
        if (view->IsImageLoaded()) {
            view->AlignSelection();
            view->viewport()->update();
        }
        view->setFocus();
        if (statusTexts)
            if (IModeHost* app = App())
                app->UpdateStatusTexts();
    });
    return m_align;
}

void CPanelBlockAlign::UpdateControls()
{
    if (const CropParams* crop = CropOptions())
        m_align->setChecked(crop->AlignSelectionByBlock != 0);
}

CPanelCopy::CPanelCopy(CModeCopy* mode) : CPanelBlockAlign(kTemplateId, mode) {}

void CPanelCopy::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Select / Copy"));
    column->addWidget(MakeAlignCheck(window, true));
    QPushButton* zoom = MakeButton(QStringLiteral("Zoom to Selection"), window, 1184);
    connect(zoom, &QPushButton::clicked, this, [] {
        if (IModeHost* app = App())
            app->GetCommands().Execute(ID_VIEW_ZOOM_SELECTION);
    });
    column->addWidget(zoom, 0, Qt::AlignLeft);
    AddButtons(column, window, QStringLiteral("Copy"), QStringLiteral("Cancel"));
    column->addStretch(1);
}

CPanelPaste::CPanelPaste(CModePaste* mode) : CPanelBlockAlign(kTemplateId, mode) {}

void CPanelPaste::CreateControls(QWidget* window)
{
    QBoxLayout* column = MakeColumn(window, QStringLiteral("Paste"));
    AddButtons(column, window, QStringLiteral("Paste"), QStringLiteral("Cancel"));
    column->addWidget(MakeAlignCheck(window, false));
    column->addStretch(1);
}
