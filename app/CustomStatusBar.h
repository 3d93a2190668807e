// CCustomStatusBar: the main window's status bar with three text panes: the
// prompt (pane 0), the image size or selection (pane 1) and the print
// quality of the selection at the current crop rule (pane 2, with an icon
// and a coloured text).
#pragma once

#include <QColor>
#include <QStatusBar>
#include <QStringList>

class QLabel;

class CCustomStatusBar : public QStatusBar {
    Q_OBJECT
public:
    enum Quality { QualityNone, QualityLow, QualityMedium, QualityHigh };
    static constexpr int kPaneCount = 3;
    static constexpr int kQualityPane = 2;

    // Pane widths follow the screen scale in percent.
    explicit CCustomStatusBar(int dpiScale, QWidget* parent = nullptr);

    // Sets a pane's text and repaints it at once; out-of-range panes are ignored.
    void SetPaneText(int pane, const QString& text);
    QString GetPaneText(int pane) const;
    // The pane is at least as wide as the widest of `texts` in its font.
    void SetWidestTexts(int pane, const QStringList& texts);
    QLabel* GetPane(int pane) const;

    // Shows the print resolution (pixels per inch, <= 0 for none) against
    // the thresholds; nothing happens when all three are what they were.
    void SetDpi(int resolution, int lowThreshold, int mediumThreshold);

    Quality GetQuality() const { return m_quality; }
    QColor GetQualityTextColor() const { return m_qualityColor; }
    int GetResolution() const { return m_nResolution; }

    static Quality QualityFor(int resolution, int lowThreshold, int mediumThreshold);
    static QColor QualityColor(Quality quality);

private:
    QLabel* m_panes[kPaneCount] = {};
    QLabel* m_qualityIcon = nullptr;
    int m_nResolution = -2;
    int m_nLow = 0;
    int m_nMedium = 0;
    Quality m_quality = QualityNone;
    QColor m_qualityColor{255, 255, 255};
};
