#include "IntEdit.h"

#include "TextUtil.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>


CIntEdit::CIntEdit(QWidget* parent, Style style)
    : QLineEdit(parent)
{
    SetStyle(style);
    connect(this, &QLineEdit::textEdited, this, &CIntEdit::changed);
}

void CIntEdit::SetStyle(Style style)
{
    // The validator only filters typing; SetValue and setText still show
    // whatever they are given.
    switch (style) {
    case DigitsOnly:
        setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), this));
        break;
    case DigitsAndMinus:
        setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("-?[0-9]*")), this));
        break;
    case AnyText:
        setValidator(nullptr);
        break;
    }
}

void CIntEdit::SetRange(int minimum, int maximum)
{
    m_nMin = minimum;
    m_nMax = maximum;
    m_bRange = 1;
}

int CIntEdit::Clamp(int value) const
{
    if (!m_bRange)
        return value;
    if (value < m_nMin)
        return m_nMin;
    if (value > m_nMax)
        return m_nMax;
    return value;
}

void CIntEdit::SetValue(int value)
{
    const QString text = QString::number(Clamp(value));
    if (text == this->text()) {
        // setText would stay silent; the owner still hears of the value.
        emit changed();
        return;
    }
    setText(text);
    emit changed();
}

int CIntEdit::GetValue() const
{
    return Clamp(StringToIntLenient(text()));
}

void CIntEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    SetValue(GetValue());
}

bool CIntEdit::event(QEvent* event)
{
    // Delete edits the text: the window's Delete command (which deletes
    // files) must never take the key from the field.
    if (event->type() == QEvent::ShortcutOverride) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Delete && (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
            event->accept();
            return true;
        }
    }
    return QLineEdit::event(event);
}
