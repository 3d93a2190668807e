#include "BatchConfirm.h"

#include "DlgItems.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QVBoxLayout>

CBatchConfirm::CBatchConfirm(QWidget* parent, const QString& actionName, int count, bool currentOnly)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Batch Operation"));
    setModal(true);

    auto* icon = new QLabel(this);
    SetDlgItemId(icon, IDC_ICON);
    const int extent = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
    icon->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion, nullptr, this).pixmap(extent, extent));
    icon->setAlignment(Qt::AlignTop);

    auto* text = new QLabel(Text(count, actionName), this);
    SetDlgItemId(text, IDC_TEXT);
    text->setTextFormat(Qt::PlainText);

    auto* all = new QPushButton(QStringLiteral("All Selected"), this);
    SetDlgItemId(all, IDC_ALL_SELECTED);
    all->setDefault(true);
    auto* current = new QPushButton(QStringLiteral("Current Only"), this);
    SetDlgItemId(current, IDC_CURRENT_ONLY);
    current->setEnabled(currentOnly);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    SetDlgItemId(cancel, IDCANCEL);

    connect(all, &QPushButton::clicked, this, &CBatchConfirm::OnAllSelected);
    connect(current, &QPushButton::clicked, this, &CBatchConfirm::OnCurrentOnly);
    connect(cancel, &QPushButton::clicked, this, [this] { done(IDCANCEL); });

    auto* top = new QHBoxLayout;
    top->addWidget(icon);
    top->addWidget(text, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(all);
    buttons->addWidget(current);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addLayout(buttons);
}

int CBatchConfirm::DoModal()
{
    const int result = exec();
    // Esc and the close button reject with 0: they mean Cancel.
    return result == IDC_ALL_SELECTED || result == IDC_CURRENT_ONLY ? result : int(IDCANCEL);
}

QString CBatchConfirm::Text(int count, const QString& actionName)
{
    return QString::asprintf("%d images are selected.\n\nApply '", count) + actionName + QStringLiteral("' action?");
}
