#include "ToolbarLabel.h"

#include <QEvent>
#include <QLabel>

namespace {

// Drawn with the enabled colours even while the toolbar disables it.
class CAlwaysEnabledLabel : public QLabel {
public:
    CAlwaysEnabledLabel(const QString& text, QWidget* parent) : QLabel(text, parent) { CopyActiveColours(); }

protected:
    void changeEvent(QEvent* event) override
    {
        QLabel::changeEvent(event);
        if (event->type() == QEvent::PaletteChange && !m_bCopying)
            CopyActiveColours();
    }

private:
    void CopyActiveColours()
    {
        m_bCopying = true;
        QPalette p = palette();
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::Window, QPalette::Base})
            p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
        setPalette(p);
        m_bCopying = false;
    }

    bool m_bCopying = false;
};

} // namespace

CToolbarLabel::CToolbarLabel(int id, const QString& text, QObject* parent)
    : QWidgetAction(parent)
    , m_nID(id)
{
    setText(text);
    setData(id);
}

QWidget* CToolbarLabel::createWidget(QWidget* parent)
{
    auto* label = new CAlwaysEnabledLabel(text(), parent);
    label->setObjectName(QStringLiteral("ToolbarLabel"));
    label->setContentsMargins(4, 0, 4, 0);
    connect(this, &QAction::changed, label, [this, label] { label->setText(text()); });
    return label;
}
