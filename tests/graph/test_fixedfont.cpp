// The fixed-pitch face of the canvas labels and the device list must show a decimal point
// as a point: on the figures' baseline, not in the row below them where it reads as a comma.
#include "ui/fonts.h"

#include <QFontMetrics>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

namespace {

// Lowest row holding ink in columns [x0, x1) of the image, -1 if none.
int lowestInk(const QImage &image, int x0, int x1)
{
    for (int y = image.height() - 1; y >= 0; --y)
        for (int x = x0; x < x1; ++x)
            if (qGray(image.pixel(x, y)) > 64)
                return y;
    return -1;
}

} // namespace

TEST(FixedCjkFont, DecimalPointSitsOnTheFiguresBaseline)
{
    for (int px = 10; px <= 16; ++px) {
        const QFont font = qn::fixedCjkFont(px);
        const QFontMetrics fm(font);
        const int cell = fm.horizontalAdvance(QLatin1Char('0'));
        ASSERT_GT(cell, 0);
        QImage image(cell * 3 + 4, fm.height() + 4, QImage::Format_RGB32);
        image.fill(Qt::black);
        {
            QPainter painter(&image);
            painter.setFont(font);
            painter.setPen(Qt::white);
            painter.drawText(0, fm.ascent() + 2, QStringLiteral("0.0"));
        }
        const int digit = lowestInk(image, 0, cell);
        const int point = lowestInk(image, cell, 2 * cell);
        ASSERT_GE(digit, 0) << px;
        ASSERT_GE(point, 0) << px;
        EXPECT_LE(point, digit) << "point below the figures at " << px << " px in " << font.family().toStdString();
    }
}

TEST(FixedCjkFont, JapaneseTakesTwoLatinCells)
{
    // Columns of mixed text line up only when a full-width glyph is two half-width ones.
    const QFontMetricsF fm(qn::fixedCjkFont(14));
    EXPECT_DOUBLE_EQ(fm.horizontalAdvance(QLatin1Char('i')), fm.horizontalAdvance(QLatin1Char('W')));
    EXPECT_NEAR(fm.horizontalAdvance(QStringLiteral("温度")), fm.horizontalAdvance(QStringLiteral("+1.0")), 0.2);
}
