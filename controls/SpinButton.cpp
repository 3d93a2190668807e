#include "SpinButton.h"

#include <QToolButton>
#include <QVBoxLayout>

CSpinButton::CSpinButton(QWidget* parent)
    : QWidget(parent)
    , m_up(new QToolButton(this))
    , m_down(new QToolButton(this))
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (auto [button, arrow] : {std::pair{m_up, Qt::UpArrow}, std::pair{m_down, Qt::DownArrow}}) {
        button->setArrowType(arrow);
        button->setAutoRepeat(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setFixedSize(16, 11);
        layout->addWidget(button);
    }
    m_up->setObjectName(QStringLiteral("Up"));
    m_down->setObjectName(QStringLiteral("Down"));
    connect(m_up, &QToolButton::clicked, this, [this] { emit deltaPos(UpDelta()); });
    connect(m_down, &QToolButton::clicked, this, [this] { emit deltaPos(-UpDelta()); });
}

void CSpinButton::SetRange(int lower, int upper)
{
    m_nLower = lower;
    m_nUpper = upper;
}
