// What a person sees on the canvas: painted into images at pixel ratio 1 (and 2 where the
// trace width matters) and checked region by region.
#include "graph/scrollstrip.h"
#include "graph/trendcanvas.h"

#include <QBackingStore>
#include <QCoreApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWidget>
#include <QtTest/QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <set>
#include <vector>

namespace qn {
namespace {

constexpr double kT0 = 1'800'000'000.0;
constexpr int kW = 600;
constexpr int kH = 400;

QRgb rgb(int r, int g, int b)
{
    return qRgb(r, g, b);
}

int yOf(double v, double min, double max)
{
    const PlotArea a = plotAreaFor(kW, kH);
    return a.bottom - int(std::trunc((v - min) * (a.bottom - a.top) / (max - min) + 0.5));
}

int countColour(const QImage &img, const QRect &r, QRgb colour)
{
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            n += (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF);
    return n;
}

// Smoothed text shows a colour at partial strength: count pixels of that hue that are at
// least half as bright.
int countLike(const QImage &img, const QRect &r, QRgb colour)
{
    const int cr = qRed(colour), cg = qGreen(colour), cb = qBlue(colour);
    const int cmax = std::max({cr, cg, cb});
    int n = 0;
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QRgb p = img.pixel(x, y);
            const int pmax = std::max({qRed(p), qGreen(p), qBlue(p)});
            if (pmax * 2 < cmax)
                continue;
            const double f = double(pmax) / cmax;
            n += std::abs(qRed(p) - f * cr) < 40 && std::abs(qGreen(p) - f * cg) < 40 && std::abs(qBlue(p) - f * cb) < 40;
        }
    return n;
}

struct RenderFixture : ::testing::Test {
    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    TrendCanvas *canvas = nullptr;
    TrendSeries *yellow = nullptr;
    TrendSeries *cyan = nullptr;

    void SetUp() override
    {
        parent->resize(800, 500);
        canvas = addCanvasWithStrip(parent.get(), QRect(0, 0, kW, kH));
        yellow = canvas->addSeries("AI1", -10, 10);
        yellow->setColor(255, 255, 80);
        cyan = canvas->addSeries("AI2", -10, 10);
        cyan->setColor(80, 255, 255);
        canvas->setSecondsPerDivision(5);
        canvas->setSpan(60);
        canvas->setTimeRange(kT0, kT0 + 60, kT0);
        canvas->enableCursor(true);
    }
    void feedConstant(double yellowValue, double cyanValue)
    {
        for (int s = 0; s <= 120; ++s) {
            yellow->addSample(kT0 + s, yellowValue);
            cyan->addSample(kT0 + s, cyanValue);
        }
        canvas->setTimeRange(0, 0);
    }
    void moveMouse(int x, int y)
    {
        QMouseEvent move(QEvent::MouseMove, QPointF(x, y), QPointF(x, y), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &move);
    }
};

TEST_F(RenderFixture, BackgroundFrameAndTracesAtTheirHeights)
{
    feedConstant(5.0, -5.0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    EXPECT_EQ(img.pixel(2, 2) & 0xFFFFFF, 0x000000u);
    EXPECT_EQ(img.pixel(kW - 3, kH - 3) & 0xFFFFFF, 0x000000u);
    // The white frame's left and bottom edges.
    EXPECT_EQ(img.pixel(a.left - 1, (a.top + a.bottom) / 2), rgb(255, 255, 255));
    EXPECT_EQ(img.pixel((a.left + a.right) / 2, a.bottom + 1), rgb(255, 255, 255));
    // Cyan (not focused) one pixel thin at y(-5); yellow (focused) two pixels at y(5).
    const int x = (a.left + a.right) / 2 + 3;
    EXPECT_EQ(img.pixel(x, yOf(-5, -10, 10)), rgb(80, 255, 255));
    EXPECT_NE(img.pixel(x, yOf(-5, -10, 10) + 1), rgb(80, 255, 255));
    EXPECT_EQ(img.pixel(x, yOf(5, -10, 10)), rgb(255, 255, 80));
    EXPECT_EQ(img.pixel(x, yOf(5, -10, 10) + 1), rgb(255, 255, 80));
    // Nothing of the traces outside the plot.
    EXPECT_EQ(countColour(img, QRect(0, a.top, a.left - 2, a.bottom - a.top), rgb(80, 255, 255)), 0);
}

TEST_F(RenderFixture, TraceWidthsAreDevicePixelsAtRatioTwo)
{
    feedConstant(5.0, -5.0);
    const QImage img = canvas->renderToImage(2.0);
    ASSERT_EQ(img.width(), 2 * kW);
    const int x = 2 * ((canvas->plotArea().left + canvas->plotArea().right) / 2 + 3);
    int yellowRows = 0, cyanRows = 0;
    for (int y = 0; y < img.height(); ++y) {
        yellowRows += (img.pixel(x, y) & 0xFFFFFF) == (rgb(255, 255, 80) & 0xFFFFFF);
        cyanRows += (img.pixel(x, y) & 0xFFFFFF) == (rgb(80, 255, 255) & 0xFFFFFF);
    }
    EXPECT_EQ(cyanRows, 1);
    EXPECT_EQ(yellowRows, 2);
}

TEST_F(RenderFixture, FocusedTraceIsTwoPixelsWideWhenSteepToo)
{
    // A jump from -8 to +8 between two readings: a steep segment, two columns wide.
    for (int s = 0; s <= 120; ++s) {
        yellow->addSample(kT0 + s, s < 90 ? -8.0 : 8.0);
        cyan->addSample(kT0 + s, 0.0);
    }
    canvas->setTimeRange(0, 0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    const int row = yOf(0.0, -10, 10) - 20;
    int yellowInRow = 0;
    for (int x = a.left; x < a.right; ++x)
        yellowInRow += img.pixel(x, row) == rgb(255, 255, 80);
    EXPECT_EQ(yellowInRow, 2);
}

TEST_F(RenderFixture, ValuesOutsideTheRangeStayOnTheFrame)
{
    feedConstant(50.0, -50.0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    const int x = (a.left + a.right) / 2;
    EXPECT_EQ(img.pixel(x, a.top), rgb(255, 255, 80));
    EXPECT_EQ(img.pixel(x, a.bottom), rgb(80, 255, 255));
}

// A series added with equal minimum and maximum, or a reading that is not a number, gives
// 0 / 0 in the mapping: the trace still stays inside the frame and the picture is drawn.
TEST_F(RenderFixture, FlatRangeAndNotANumberStayInsideThePlot)
{
    TrendSeries *flat = canvas->addSeries("AI3", 5, 5);
    flat->setColor(255, 80, 255);
    canvas->setFocusSeries(2);
    for (int s = 0; s <= 120; ++s) {
        flat->addSample(kT0 + s, 5);
        yellow->addSample(kT0 + s, s % 2 ? std::nan("") : 1.0);
        cyan->addSample(kT0 + s, 0);
    }
    canvas->setTimeRange(0, 0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    const QRect plot(QPoint(a.left, a.top), QPoint(a.right, a.bottom));
    EXPECT_GT(countColour(img, plot, rgb(255, 80, 255)), 0);
    EXPECT_GT(countColour(img, plot, rgb(255, 255, 80)), 0);
    // Below the plot only the white time labels stand.
    EXPECT_EQ(countColour(img, QRect(0, a.bottom + 3, kW, kH - a.bottom - 3), rgb(255, 80, 255)), 0);
    EXPECT_EQ(countColour(img, QRect(0, a.bottom + 3, kW, kH - a.bottom - 3), rgb(255, 255, 80)), 0);
    EXPECT_EQ(img.pixel(a.left + 1, a.bottom + 4), rgb(0, 0, 0));
}

TEST_F(RenderFixture, FirstPointEntersAtTheLeftEdgeInterpolated)
{
    // Cyan rises from -10 to +10 over 100 s; the window starts halfway, so the trace must
    // start at x = L with value 0 (and never draw left of L).
    canvas->setFocusSeries(0);
    yellow->setVisible(false);
    cyan->addSample(kT0, -10);
    cyan->addSample(kT0 + 100, 10);
    canvas->setSpan(0);
    canvas->setTimeRange(kT0 + 50, kT0 + 110);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    EXPECT_EQ(img.pixel(a.left, yOf(0, -10, 10)), rgb(80, 255, 255));
    EXPECT_EQ(countColour(img, QRect(0, 0, a.left, kH), rgb(80, 255, 255)), 0);
}

TEST_F(RenderFixture, DigitalFocusShowsOnAndOffLinesOnly)
{
    yellow->setDigital(true);
    feedConstant(1.0, 0.0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    const QRgb axis = rgb(127, 127, 40);
    // Dotted lines in the halved colour at y(1) and y(0) only.
    int rowsWithAxis = 0;
    for (int y = a.top; y <= a.bottom; ++y)
        rowsWithAxis += countColour(img, QRect(a.right + 2, y, int(0.95 * kW) - a.right - 3, 1), axis) > 0;
    EXPECT_EQ(rowsWithAxis, 2);
    EXPECT_GT(countColour(img, QRect(a.right + 2, yOf(1, -0.5, 1.5), 20, 1), axis), 0);
    EXPECT_GT(countColour(img, QRect(a.right + 2, yOf(0, -0.5, 1.5), 20, 1), axis), 0);
    // Their labels stand left of the plot in the series colour.
    EXPECT_GT(countLike(img, QRect(0, yOf(1, -0.5, 1.5) - 8, a.left, 16), rgb(255, 255, 80)), 5);
    EXPECT_GT(countLike(img, QRect(0, yOf(0, -0.5, 1.5) - 8, a.left, 16), rgb(255, 255, 80)), 5);
    EXPECT_EQ(countLike(img, QRect(0, yOf(0.5, -0.5, 1.5) - 4, a.left, 8), rgb(255, 255, 80)), 0);
}

TEST_F(RenderFixture, AnalogFocusHasElevenValueLines)
{
    feedConstant(5.0, -5.0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    int rows = 0;
    for (int y = a.top - 1; y <= a.bottom + 1; ++y)
        rows += countColour(img, QRect(a.right + 2, y, int(0.95 * kW) - a.right - 3, 1), rgb(127, 127, 40)) > 0;
    EXPECT_EQ(rows, 11);
}

TEST_F(RenderFixture, ReadoutFollowsTheMouseInsideThePlotOnly)
{
    feedConstant(5.0, -5.0);
    QImage before = canvas->renderToImage(1.0);
    const QRect box = canvas->readoutRect();
    EXPECT_EQ(countLike(before, box, rgb(255, 255, 80)), 0);

    const int refreshes = canvas->refreshCount();
    const PlotArea a = canvas->plotArea();
    moveMouse((a.left + a.right) / 2, (a.top + a.bottom) / 2);
    // A mouse move repaints only the read-out: the picture stays valid.
    EXPECT_EQ(canvas->refreshCount(), refreshes);
    QImage inside = canvas->renderToImage(1.0);
    EXPECT_GT(countLike(inside, box, rgb(255, 255, 80)), 20);
    // The frame's top edge runs on under the read-out.
    EXPECT_EQ(inside.pixel((box.left() + box.right()) / 2, a.top - 2), rgb(255, 255, 255));

    moveMouse(a.left, (a.top + a.bottom) / 2); // on the plot edge: cleared
    EXPECT_EQ(countLike(canvas->renderToImage(1.0), box, rgb(255, 255, 80)), 0);
    moveMouse((a.left + a.right) / 2, (a.top + a.bottom) / 2);
    canvas->enableCursor(false);
    EXPECT_EQ(countLike(canvas->renderToImage(1.0), box, rgb(255, 255, 80)), 0);
}

TEST_F(RenderFixture, CaptionsAndTimeLabelsAreWritten)
{
    yellow->setUnit("V");
    feedConstant(5.0, -5.0);
    const QImage img = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    // The focused series' caption in its colour, top left of the plot.
    EXPECT_GT(countLike(img, QRect(a.left, 0, int(0.5 * kW) - a.left, a.top), rgb(255, 255, 80)), 10);
    // The seconds-per-division caption and the time labels in white.
    EXPECT_GT(countLike(img, QRect(int(0.8 * kW), 0, int(0.15 * kW), a.top), rgb(255, 255, 255)), 10);
    EXPECT_GT(countLike(img, QRect(0, int(0.91 * kH), kW, kH - int(0.91 * kH)), rgb(255, 255, 255)), 50);
}

TEST_F(RenderFixture, WidgetPaintUsesTheCacheAndMatchesTheRender)
{
    feedConstant(5.0, -5.0);
    const QImage viaWidget = canvas->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_TRUE(canvas->pictureValid());
    const QImage direct = canvas->renderToImage(1.0);
    ASSERT_EQ(viaWidget.size(), direct.size());
    EXPECT_EQ(viaWidget, direct);
}

// A reading that stood out for one sample, in a full history, is drawn at its height in its
// column wherever the operator scrolls the window over it.
TEST_F(RenderFixture, SpikeOfAFullHistoryIsDrawnAtEveryScrollPosition)
{
    cyan->setVisible(false);
    const int spike = 50'000;
    for (int i = 0; i < 99'999; ++i)
        yellow->addSample(kT0 + i, i == spike ? 8.0 : std::sin(i * 0.05));
    canvas->setSecondsPerDivision(1800);
    canvas->setSpan(21'600);
    canvas->setTimeRange(0, 0);
    const double spikeTime = kT0 + spike;
    int positionsOverIt = 0;
    for (int pos = 250'000; pos <= 520'000; pos += 9'000) {
        canvas->scrollStrip()->setSliderPosition(pos);
        if (spikeTime < canvas->viewStart() || spikeTime > canvas->viewEnd())
            continue;
        ++positionsOverIt;
        const PlotArea a = canvas->plotArea();
        const int x = a.left + int(std::trunc((spikeTime - canvas->viewStart()) * (a.right - a.left)
                                              / (canvas->viewEnd() - canvas->viewStart()) + 0.5));
        const QImage img = canvas->renderToImage(1.0);
        EXPECT_EQ(img.pixel(x, yOf(8.0, -10, 10)), rgb(255, 255, 80)) << "position " << pos;
    }
    EXPECT_GT(positionsOverIt, 20);
}

// Readings a tenth of a second apart each stand at their own x.
TEST_F(RenderFixture, TenReadingsWithinOneSecondDrawAtTenPlaces)
{
    const int w = 1200; // wide enough that a tenth of a minute's second is more than a pixel
    TrendCanvas *wide = addCanvasWithStrip(parent.get(), QRect(0, 0, w, kH));
    TrendSeries *s = wide->addSeries("AI1", -10, 10);
    s->setColor(255, 255, 80);
    wide->setSecondsPerDivision(5);
    wide->setSpan(60);
    s->addSample(kT0, 0);
    for (int i = 0; i < 10; ++i)
        s->addSample(kT0 + 30.05 + i * 0.1, i % 2 ? 6.0 : -6.0);
    wide->setTimeRange(0, 0);
    const QImage img = wide->renderToImage(1.0);
    const PlotArea a = wide->plotArea();
    std::vector<int> xs;
    for (int i = 0; i < 10; ++i) {
        const int x = a.left + int(std::trunc((30.05 + i * 0.1) * (a.right - a.left) / 60 + 0.5));
        const int y = a.bottom - int(std::trunc((i % 2 ? 16.0 : 4.0) * (a.bottom - a.top) / 20 + 0.5));
        // A line's end pixel may be left to the next line, which starts one row over.
        EXPECT_GT(countColour(img, QRect(x, y - 1, 1, 3), rgb(255, 255, 80)), 0) << i;
        xs.push_back(x);
    }
    EXPECT_EQ(std::set<int>(xs.begin(), xs.end()).size(), 10u);
}

// The shown canvas paints its picture again only when a pixel of it moves.
TEST_F(RenderFixture, RepaintsOnlyWhenAPixelChanges)
{
    parent->show();
    canvas->setSpan(600); // all the data fits: the window stays where it is
    feedConstant(5.0, -5.0);
    const int painted = canvas->refreshCount();
    canvas->setTimeRange(0, 0);
    yellow->addSample(kT0 + 120.001, 5.0); // same second, same pixel
    cyan->addSample(kT0 + 120.001, -5.0);
    canvas->setTimeRange(0, 0);
    EXPECT_EQ(canvas->refreshCount(), painted);
    yellow->addSample(kT0 + 120.002, 6.0);
    canvas->setTimeRange(0, 0);
    EXPECT_EQ(canvas->refreshCount(), painted + 1);
}

// Whatever part of the canvas the window system asks for again (a window moved off it),
// the repaint there comes out as the picture drawn afresh.
TEST_F(RenderFixture, ARepaintOfAnyPartMatchesTheWholePicture)
{
    parent->show();
    canvas->setFocusSeries(1); // a wide trace too
    for (int i = 0; i <= 900; ++i) {
        yellow->addSample(kT0 + i * 0.1, 8 * std::sin(i * 0.3));
        cyan->addSample(kT0 + i * 0.1, i % 50 == 0 ? 8.0 : -4.0 + std::sin(i * 0.05));
    }
    canvas->setTimeRange(0, 0);
    QCoreApplication::processEvents();
    auto *store = dynamic_cast<QImage *>(parent->backingStore()->paintDevice());
    ASSERT_NE(store, nullptr);
    const QPoint at = canvas->mapTo(parent.get(), QPoint(0, 0));
    const QImage fresh = canvas->renderToImage(1.0);
    const PlotArea a = canvas->plotArea();
    for (const QRect part : {QRect(a.left + 7, a.top, 30, 80), QRect((a.left + a.right) / 2, 0, 1, kH),
                             QRect(a.right - 40, a.top + 40, 41, 200), QRect(0, a.top, a.left + 3, kH - a.top)}) {
        QPainter(store).fillRect(part.translated(at), Qt::white); // what stood over it
        canvas->repaint(part);
        const QImage shown = store->copy(QRect(at, canvas->size())).convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(shown, fresh) << part.x() << "," << part.y() << " " << part.width() << "x" << part.height();
    }
}

// A repaint that the traces' growth and something else both asked for draws the whole of
// what was asked, not only the traces over what stood there.
TEST_F(RenderFixture, ARepaintOfMoreThanTheGrowthDrawsItAll)
{
    parent->show();
    canvas->setSpan(600); // the window stands: a reading grows the traces at their newest ends
    for (int i = 0; i <= 300; ++i) {
        yellow->addSample(kT0 + i * 0.1, 8 * std::sin(i * 0.3));
        cyan->addSample(kT0 + i * 0.1, -4.0);
    }
    canvas->setTimeRange(0, 0);
    QCoreApplication::processEvents();
    auto *store = dynamic_cast<QImage *>(parent->backingStore()->paintDevice());
    ASSERT_NE(store, nullptr);
    const QPoint at = canvas->mapTo(parent.get(), QPoint(0, 0));
    const PlotArea a = canvas->plotArea();
    yellow->addSample(kT0 + 30.1, 9.0);
    canvas->setTimeRange(0, 0); // the growth waits for the next paint
    const QRect part(a.left + 10, a.top + 10, 20, 20);
    QPainter(store).fillRect(part.translated(at), Qt::white);
    canvas->repaint(part);
    const QImage shown = store->copy(QRect(at, canvas->size())).convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(shown, canvas->renderToImage(1.0));
}

// While the window stands the canvas repaints only where the traces grew, and while it
// follows the data only what moved, over what the window already shows: either must come
// out as the whole picture drawn afresh.
TEST_F(RenderFixture, FollowingRepaintsAddUpToTheWholePicture)
{
    parent->show();
    canvas->setFocusSeries(1); // the wide trace runs along the bottom edge of the frame
    auto screen = [&] {
        QCoreApplication::processEvents();
        const auto *store = dynamic_cast<QImage *>(parent->backingStore()->paintDevice());
        return store->copy(QRect(canvas->mapTo(parent.get(), QPoint(0, 0)), canvas->size()))
            .convertToFormat(QImage::Format_RGB32);
    };
    for (int i = 0; i <= 900; ++i) {
        yellow->addSample(kT0 + i * 0.1, 8 * std::sin(i * 0.3));
        cyan->addSample(kT0 + i * 0.1, i % 50 == 0 ? 20.0 : -10.0);
        canvas->setTimeRange(0, 0);
        // Each of the first readings (the window stands, the traces grow), then now and then.
        if (i < 40 || i % 97 == 0 || i > 890) {
            ASSERT_EQ(screen(), canvas->renderToImage(1.0)) << i;
        }
    }
}

} // namespace
} // namespace qn
