#include "PixmendApp.h"

#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// 'W' or 'B' for each pixel of row y from x = 0 to n - 1.
std::string Row(const QImage& image, int y, int n)
{
    std::string s;
    for (int x = 0; x < n; ++x)
        s += image.pixelColor(x, y) == QColor(Qt::white) ? 'W' : image.pixelColor(x, y) == QColor(Qt::black) ? 'B' : '?';
    return s;
}

TEST(DashedLine, DrawsThreeWhiteFourBlackAndCarriesThePhaseAcrossLines)
{
    QImage image(20, 2, QImage::Format_RGB32);
    image.fill(Qt::red);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing);
        // Bring the shared counter to a known phase; earlier lines may have moved it.
        while (DashedLinePhase() != 0)
            DashedLinePixel(0, 1, &p);
        for (int x = 0; x < 12; ++x)
            DashedLinePixel(x, 0, &p);
        EXPECT_EQ(DashedLinePhase(), 5);
        for (int x = 0; x < 9; ++x)
            DashedLinePixel(x, 1, &p);
    }
    EXPECT_EQ(Row(image, 0, 12), "WWWBBBBWWWBB");
    // The second line starts where the first stopped: two more black first.
    EXPECT_EQ(Row(image, 1, 9), "BBWWWBBBB");
}

} // namespace
