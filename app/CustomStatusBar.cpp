#include "CustomStatusBar.h"

#include "MenuResources.h"

#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>

#include <algorithm>

namespace {

constexpr int kIconSize = 12;

// A pane of a set width that still gives way when the window is narrower,
// so the status bar never sets the window's minimum width.
class CStatusPane : public QLabel {
public:
    explicit CStatusPane(QWidget* parent) : QLabel(parent) {}
    void SetPaneWidth(int width)
    {
        m_nWidth = width;
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
        updateGeometry();
    }
    void SetWidestTexts(const QStringList& texts)
    {
        m_widest = texts;
        updateGeometry();
    }
    QSize sizeHint() const override
    {
        const QSize hint = QLabel::sizeHint();
        // The widest text it holds, measured in the font in use now.
        int width = m_nWidth;
        const QMargins margins = contentsMargins();
        for (const QString& text : m_widest)
            width = std::max(width, fontMetrics().horizontalAdvance(text) + margins.left() + margins.right()
                                        + 2 * margin() + 2 * kTextSlack);
        return width > 0 ? QSize(width, hint.height()) : hint;
    }
    QSize minimumSizeHint() const override { return QSize(0, QLabel::minimumSizeHint().height()); }

private:
    static constexpr int kTextSlack = 4;
    int m_nWidth = 0;
    QStringList m_widest;
};

const char* QualityWord(CCustomStatusBar::Quality q)
{
    switch (q) {
    case CCustomStatusBar::QualityLow:
        return "Low";
    case CCustomStatusBar::QualityMedium:
        return "Medium";
    case CCustomStatusBar::QualityHigh:
        return "High";
    default:
        return "";
    }
}

const char* QualityIcon(CCustomStatusBar::Quality q)
{
    switch (q) {
    case CCustomStatusBar::QualityLow:
        return kQualityLowIcon;
    case CCustomStatusBar::QualityMedium:
        return kQualityMediumIcon;
    case CCustomStatusBar::QualityHigh:
        return kQualityHighIcon;
    default:
        return nullptr;
    }
}

} // namespace

CCustomStatusBar::CCustomStatusBar(int dpiScale, QWidget* parent)
    : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar"));
    for (int i = 0; i < kPaneCount; ++i) {
        m_panes[i] = new CStatusPane(this);
        m_panes[i]->setObjectName(QStringLiteral("StatusPane%1").arg(i));
        m_panes[i]->setTextFormat(Qt::PlainText);
    }
    static_cast<CStatusPane*>(m_panes[0])->SetPaneWidth(300 * dpiScale / 100);
    static_cast<CStatusPane*>(m_panes[1])->SetPaneWidth(200 * dpiScale / 100);

    // The quality colours were chosen for a dark bar: the pane keeps a dark
    // ground of its own so yellow and green stay legible on a light theme.
    auto* quality = new QWidget(this);
    auto* layout = new QHBoxLayout(quality);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->setSpacing(4);
    m_qualityIcon = new QLabel(quality);
    m_qualityIcon->setFixedSize(kIconSize, kIconSize);
    m_qualityIcon->hide();
    m_panes[kQualityPane]->setParent(quality);
    layout->addWidget(m_qualityIcon);
    layout->addWidget(m_panes[kQualityPane], 0);
    layout->addStretch(1);

    addWidget(m_panes[0]);
    addWidget(m_panes[1]);
    addWidget(quality, 1);
}

void CCustomStatusBar::SetPaneText(int pane, const QString& text)
{
    if (pane < 0 || pane >= kPaneCount)
        return;
    m_panes[pane]->setText(text);
    m_panes[pane]->repaint();
}

void CCustomStatusBar::SetWidestTexts(int pane, const QStringList& texts)
{
    if (pane >= 0 && pane < kPaneCount)
        static_cast<CStatusPane*>(m_panes[pane])->SetWidestTexts(texts);
}

QString CCustomStatusBar::GetPaneText(int pane) const
{
    return pane >= 0 && pane < kPaneCount ? m_panes[pane]->text() : QString();
}

QLabel* CCustomStatusBar::GetPane(int pane) const
{
    return pane >= 0 && pane < kPaneCount ? m_panes[pane] : nullptr;
}

CCustomStatusBar::Quality CCustomStatusBar::QualityFor(int resolution, int low, int medium)
{
    if (resolution <= 0)
        return QualityNone;
    if (resolution < low)
        return QualityLow;
    if (resolution < medium)
        return QualityMedium;
    return QualityHigh;
}

QColor CCustomStatusBar::QualityColor(Quality quality)
{
    switch (quality) {
    case QualityLow:
        return QColor(255, 80, 80);
    case QualityMedium:
        return QColor(255, 255, 80);
    case QualityHigh:
        return QColor(80, 255, 80);
    default:
        return QColor(255, 255, 255);
    }
}

void CCustomStatusBar::SetDpi(int resolution, int low, int medium)
{
    if (resolution == m_nResolution && low == m_nLow && medium == m_nMedium)
        return;
    m_nResolution = resolution;
    m_nLow = low;
    m_nMedium = medium;
    m_quality = QualityFor(resolution, low, medium);
    m_qualityColor = QualityColor(m_quality);

    if (const char* icon = QualityIcon(m_quality)) {
        m_qualityIcon->setPixmap(QIcon(QLatin1String(icon)).pixmap(kIconSize, kIconSize));
        m_qualityIcon->show();
    } else {
        m_qualityIcon->clear();
        m_qualityIcon->hide();
    }
    QLabel* pane = m_panes[kQualityPane];
    if (m_quality == QualityNone) {
        pane->setStyleSheet(QString());
        SetPaneText(kQualityPane, QString());
        return;
    }
    pane->setStyleSheet(QStringLiteral("QLabel { color: %1; background: #2f3e4e; border-radius: 3px; padding: 0 6px; }")
                            .arg(m_qualityColor.name()));
    SetPaneText(kQualityPane, QString::asprintf("DPI: %d  Print quality: %s", resolution, QualityWord(m_quality)));
}
