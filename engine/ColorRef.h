#pragma once
// Colours stored by operations and settings are COLORREF values, 0x00BBGGRR (red in the low
// byte); Qt works with QRgb, 0xAARRGGBB. These two convert by channel.

#include <QColor>
#include <QRgb>
#include <cstdint>

inline QRgb QRgbFromColorRef(uint32_t colorRef)
{
    return qRgb(colorRef & 0xFF, (colorRef >> 8) & 0xFF, (colorRef >> 16) & 0xFF);
}

inline QColor FromColorRef(uint32_t colorRef)
{
    return QColor(QRgbFromColorRef(colorRef));
}

inline uint32_t ColorRefFromQRgb(QRgb rgb)
{
    return uint32_t(qRed(rgb)) | (uint32_t(qGreen(rgb)) << 8) | (uint32_t(qBlue(rgb)) << 16);
}
