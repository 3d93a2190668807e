// CCButton: a colour-picker button. It shows its colour (a COLORREF,
// 0x00BBGGRR) as a swatch inside two 3-D frames; a click opens the colour
// dialog on that colour and keeps the choice on OK. `colorClicked` follows
// every click, after Cancel too: owners listen to it, never to `clicked`.
#pragma once

#include <QAbstractButton>

#include <cstdint>

class CCButton : public QAbstractButton {
    Q_OBJECT
public:
    explicit CCButton(QWidget* parent = nullptr);

    uint32_t GetColor() const { return m_color; }
    void SetColor(uint32_t color);

    // The swatch grey of a disabled button.
    static constexpr uint32_t kDisabledColor = 0x646464;

    QSize sizeHint() const override;

signals:
    void colorClicked();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void OnClicked();

    uint32_t m_color = 0;
};
