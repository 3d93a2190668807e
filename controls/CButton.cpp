#include "CButton.h"

#include "ColorRef.h"
#include "StaticHSeparator.h"

#include <QColorDialog>
#include <QPainter>
#include <QPointer>

CCButton::CCButton(QWidget* parent)
    : QAbstractButton(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    connect(this, &QAbstractButton::clicked, this, &CCButton::OnClicked);
}

void CCButton::SetColor(uint32_t color)
{
    m_color = color;
    update();
}

QSize CCButton::sizeHint() const
{
    return QSize(40, 22);
}

void CCButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    QRect r = rect();
    p.fillRect(r, palette().color(QPalette::Button));
    const QColor dark = FromColorRef(0x5A5A5A);
    const QColor light = FromColorRef(0xFAFAFA);
    if (isDown())
        Draw3dRect(p, r, dark, light);
    else
        Draw3dRect(p, r, light, dark);
    r.adjust(2, 2, -2, -2);
    Draw3dRect(p, r, dark, light);
    r.adjust(1, 1, -1, -1);
    p.fillRect(r, FromColorRef(isEnabled() ? m_color : kDisabledColor));
}

void CCButton::OnClicked()
{
    // Not the desktop's own dialog: ours can be answered in tests and looks
    // the same everywhere. The button may go while the dialog runs.
    QPointer<CCButton> self(this);
    QColorDialog dialog(FromColorRef(m_color), this);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    dialog.setObjectName(QStringLiteral("ColorDialog"));
    if (dialog.exec() == QDialog::Accepted && self)
        SetColor(ColorRefFromQRgb(dialog.selectedColor().rgb()));
    if (self)
        emit colorClicked();
}
