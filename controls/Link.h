// CLink: a hyperlink label. It draws its text in its own font and colours
// (another colour while the pointer is over it) and opens its target, or
// its text when it has none, with the desktop's handler on a click; the
// text "#" with no target opens nothing. A cursor shows only for an id above 0.
#pragma once

#include <QLabel>

#include <cstdint>

class CLink : public QLabel {
    Q_OBJECT
public:
    explicit CLink(QWidget* parent = nullptr);
    CLink(const QString& text, QWidget* parent);

    void SetTarget(const QString& target) { m_target = target; }
    QString GetTarget() const { return m_target; }
    void SetNormalColor(uint32_t color);
    void SetHoverColor(uint32_t color);
    void SetUnderline(bool underline);
    void SetFaceName(const QString& faceName);
    // A height in pixels, as CPixmendApp::ApplyFont takes it.
    void SetFontHeight(int height);
    // 0 is the face's default weight; otherwise 100..900 as on Windows.
    void SetFontWeight(int weight);
    void SetCursorId(int cursorId);
    // A transparent link leaves its background to its parent.
    void SetTransparent(bool transparent);

    bool IsHovering() const { return m_bHover; }
    // What a click opens: the target, or the text when the target is empty;
    // empty for "#".
    QString ClickTarget() const;

    // The cursor drawing of the about box's web link.
    static constexpr int kHandCursor = 151;

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    QFont LinkFont() const;

    QString m_target;
    uint32_t m_normalColor = 0xFF0000;
    uint32_t m_hoverColor = 0xFF4040;
    bool m_bHover = false;
    bool m_bUnderline = true;
    QString m_faceName = QStringLiteral("Arial");
    int m_nFontHeight = 14;
    int m_nFontWeight = 0;
    int m_nCursorId = -1;
    bool m_bTransparent = false;
};
