// Full repaints of the trend canvas, side by side: a full history (5 x 99,999 samples)
// against 5 x 1,000 samples over the same window, against a bare drawing of the same
// selected points as 1-pixel polylines, and the wide-pen way the focused trace must not
// take. Each at device pixel ratio 1 and 2. Also the read-out-only repaint of a mouse move,
// one reading of a shown canvas that follows the data, one wheel step (zoom and its repaint)
// beside a full repaint of the same shown canvas, and the memory that five full series take;
// and a repaint where half of every trace lies beyond the value range (marked at the edges).
//
// What these figures hold up (src/graph/pixelwriter.*): QPainter spends a few hundred
// nanoseconds setting up each line, and a trace of a short window is a thousand lines of a
// pixel or two, so the traces and the dotted grid are written straight into the image;
// BM_BarePolylines and BM_NaiveWideFocusedPen show what the painter's own way costs. The
// rounding of the trace points avoids floor and trunc, a dozen instructions each without
// a rounding instruction (baseline x86-64), as it runs for every point of every trace.
#include "graph/scrollstrip.h"
#include "graph/trendcanvas.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <malloc.h>

namespace {

constexpr double kT0 = 1'800'000'000.0;
constexpr int kW = 600; // the canvas size in a unit window
constexpr int kH = 400;
constexpr double kSpan = 86'400; // "24hour"

// The same signal whatever the sampling: a slow wave with some noise on it.
double value(double t, int s)
{
    const double x = t - kT0;
    return 8 * std::sin(x * 2 * M_PI / 21'600 + s) + std::sin(x * 0.7 + s);
}

struct Scene {
    std::unique_ptr<QWidget> parent = std::make_unique<QWidget>();
    qn::TrendCanvas *canvas = nullptr;

    // samples per series spread evenly over the last `extent` seconds.
    Scene(int samples, double extent)
    {
        canvas = qn::addCanvasWithStrip(parent.get(), QRect(0, 0, kW, kH));
        const QColor colours[] = {{255, 255, 80}, {80, 255, 255}, {255, 80, 255}, {80, 255, 80}, {250, 80, 80}};
        for (int s = 0; s < 5; ++s) {
            qn::TrendSeries *series = canvas->addSeries(QString("AI%1").arg(s + 1), -10, 10);
            series->setColor(colours[s].red(), colours[s].green(), colours[s].blue());
        }
        for (int i = 0; i < samples; ++i) {
            const double t = kT0 + extent * i / (samples - 1);
            for (int s = 0; s < 5; ++s)
                canvas->series(s)->addSample(t, value(t, s));
        }
        canvas->setSecondsPerDivision(7200);
        canvas->setSpan(kSpan);
        canvas->setTimeRange(0, 0);
    }
};

Scene &fullScene()
{
    static Scene scene(99'999, 99'998); // one a second: 5 x 99,999, the window holds 86,400
    return scene;
}

Scene &smallScene()
{
    static Scene scene(1'000, kSpan); // 5 x 1,000 over the same window
    return scene;
}

QImage target(double dpr)
{
    QImage image(QSize(kW, kH) * dpr, QImage::Format_RGB32);
    image.setDevicePixelRatio(dpr);
    return image;
}

void repaint(benchmark::State &state, Scene &scene)
{
    const double dpr = double(state.range(0));
    QImage image = target(dpr);
    for (auto _ : state)
        scene.canvas->renderPicture(image);
    benchmark::DoNotOptimize(image.constBits());
}

void BM_RepaintFullHistory(benchmark::State &state) { repaint(state, fullScene()); }
void BM_RepaintThousandSamples(benchmark::State &state) { repaint(state, smallScene()); }

// The same thousand samples on a range of -5..5: about half of each trace lies beyond it,
// drawn along the edges and marked there (against BM_RepaintThousandSamples).
void BM_RepaintHalfBeyondTheRange(benchmark::State &state)
{
    static Scene scene(1'000, kSpan);
    for (int s = 0; s < 5; ++s)
        scene.canvas->series(s)->setRange(-5, 5);
    repaint(state, scene);
}

// Frame, grid, labels and captions alone: what a repaint costs besides the traces.
void BM_RepaintWithoutTraces(benchmark::State &state)
{
    static Scene scene(1'000, kSpan);
    for (int s = 0; s < 5; ++s)
        scene.canvas->series(s)->setVisible(false);
    repaint(state, scene);
}

// The points the canvas draws, as plain polylines.
std::vector<QPolygon> selectedPoints(Scene &scene)
{
    const qn::PlotArea a = scene.canvas->plotArea();
    const double vs = scene.canvas->viewStart(), ve = scene.canvas->viewEnd();
    std::vector<QPolygon> lines;
    for (int s = 0; s < 5; ++s) {
        const qn::TrendSeries &series = *scene.canvas->series(s);
        std::vector<qn::SelectedSample> sel;
        qn::selectSamples(series, vs, ve, a.right - a.left, sel);
        QPolygon poly;
        for (const auto &[p, i] : sel) {
            poly << QPoint(a.left + int((p.time - vs) * (a.right - a.left) / (ve - vs) + 0.5),
                           a.bottom - int((p.value + 10) * (a.bottom - a.top) / 20 + 0.5));
        }
        lines.push_back(poly);
    }
    return lines;
}

void polylines(benchmark::State &state, int focusedWidth)
{
    const double dpr = double(state.range(0));
    QImage image = target(dpr);
    const std::vector<QPolygon> lines = selectedPoints(fullScene());
    long points = 0;
    for (auto _ : state) {
        QPainter painter(&image);
        painter.fillRect(QRect(0, 0, kW, kH), Qt::black);
        for (std::size_t s = 0; s < lines.size(); ++s) {
            QPen pen(QColor(255, 255, 80), s == 0 ? focusedWidth : 1);
            pen.setCosmetic(focusedWidth == 1);
            painter.setPen(pen);
            painter.drawPolyline(lines[s]);
            points += lines[s].size();
        }
    }
    state.counters["points/frame"] = double(points) / double(state.iterations());
}

void BM_BarePolylines(benchmark::State &state) { polylines(state, 1); }
// What drawing the focused trace with a plain 2-pixel pen would cost.
void BM_NaiveWideFocusedPen(benchmark::State &state) { polylines(state, 2); }

// The sample selection alone, for the five traces of a full repaint of the full history.
void BM_SelectFullHistory(benchmark::State &state)
{
    Scene &scene = fullScene();
    const qn::PlotArea a = scene.canvas->plotArea();
    std::vector<qn::SelectedSample> sel;
    long points = 0;
    for (auto _ : state)
        for (int s = 0; s < 5; ++s) {
            qn::selectSamples(*scene.canvas->series(s), scene.canvas->viewStart(), scene.canvas->viewEnd(),
                              a.right - a.left, sel);
            points += long(sel.size());
        }
    state.counters["points/frame"] = double(points) / double(state.iterations());
}

// A mouse move: the widget's paint for the read-out box, which puts the cached picture
// back and draws the read-out over it.
void BM_MouseMoveReadout(benchmark::State &state)
{
    Scene &scene = fullScene();
    scene.canvas->enableCursor(true);
    QImage image = target(1);
    scene.canvas->render(&image); // builds the cache
    const QRect box = scene.canvas->readoutRect();
    const qn::PlotArea a = scene.canvas->plotArea();
    const QPointF inside((a.left + a.right) / 2, (a.top + a.bottom) / 2);
    QMouseEvent move(QEvent::MouseMove, inside, inside, Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(scene.canvas, &move);
    for (auto _ : state)
        scene.canvas->render(&image, box.topLeft(), QRegion(box));
    benchmark::DoNotOptimize(image.constBits());
}

// What one reading costs a shown canvas on a one-minute window at ten readings a second,
// as in a unit window: append, place the window, paint. range(0) 0: as the canvas repaints
// (what changed, over the last picture); 1: the whole canvas every time. range(1) 1: the
// history is longer than the window, which follows the data; 0: shorter, so the window
// stands and only the traces grow (the first minute of a unit window).
void BM_Reading(benchmark::State &state)
{
    QWidget parent;
    parent.resize(kW, kH + kH / 25);
    qn::TrendCanvas *canvas = qn::addCanvasWithStrip(&parent, QRect(0, 0, kW, kH));
    const QColor colours[] = {{255, 255, 80}, {80, 255, 255}, {255, 80, 255}, {80, 255, 80}, {250, 80, 80}};
    for (int s = 0; s < 5; ++s) {
        qn::TrendSeries *series = canvas->addSeries(QString("AI%1").arg(s + 1), -10, 10);
        series->setColor(colours[s].red(), colours[s].green(), colours[s].blue());
        series->setVisible(s < 3);
    }
    canvas->setSecondsPerDivision(5);
    canvas->setSpan(60);
    parent.show();
    double t = kT0;
    const auto reading = [&] {
        t += 0.1;
        for (int s = 0; s < 5; ++s)
            canvas->series(s)->addSample(t, value(t, s));
        canvas->setTimeRange(0, 0);
    };
    for (int i = 0; i < (state.range(1) ? 600 : 100); ++i)
        reading();
    QCoreApplication::processEvents();
    int repaints = 0;
    double start = t;
    for (auto _ : state) {
        if (!state.range(1) && t - start > 40) {
            // Back to where the window stood, with the history as long as it was then.
            state.PauseTiming();
            for (int s = 0; s < 5; ++s)
                canvas->series(s)->clear();
            t = kT0;
            for (int i = 0; i < 100; ++i)
                reading();
            start = t;
            QCoreApplication::processEvents();
            state.ResumeTiming();
        }
        const int before = canvas->refreshCount();
        reading();
        repaints += canvas->refreshCount() - before;
        if (state.range(0))
            canvas->update();
        QCoreApplication::processEvents();
    }
    state.counters["repaints/reading"] = double(repaints) / double(state.iterations());
}

// One wheel notch over the plot of a shown canvas holding the full history, through its
// repaint, beside a full repaint of the same canvas (range(0) 0). The notches go in and out
// in turn around the plot's middle, so the window keeps its size on average.
void BM_WheelStep(benchmark::State &state)
{
    static Scene scene(99'999, 99'998);
    scene.parent->resize(kW, kH + kH / 25);
    scene.parent->show();
    QCoreApplication::processEvents();
    qn::TrendCanvas *canvas = scene.canvas;
    const qn::PlotArea a = canvas->plotArea();
    const QPoint middle((a.left + a.right) / 2, (a.top + a.bottom) / 2);
    int notch = 120;
    for (auto _ : state) {
        if (state.range(0)) {
            QWheelEvent wheel(middle, canvas->mapToGlobal(middle), {}, {0, notch}, Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(canvas, &wheel);
            notch = -notch;
        } else {
            canvas->update();
        }
        QCoreApplication::processEvents();
    }
    state.counters["width_s"] = canvas->viewEnd() - canvas->viewStart();
}

void BM_MemoryOfFiveFullSeries(benchmark::State &state)
{
    for (auto _ : state) {
        const std::size_t before = mallinfo2().uordblks + mallinfo2().hblkhd;
        auto scene = std::make_unique<Scene>(99'999, 99'998);
        const std::size_t after = mallinfo2().uordblks + mallinfo2().hblkhd;
        state.counters["KiB"] = double(after - before) / 1024.0;
        state.counters["bytes/sample"] = double(after - before) / (5.0 * 99'999);
    }
}

} // namespace

BENCHMARK(BM_RepaintFullHistory)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintThousandSamples)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintHalfBeyondTheRange)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RepaintWithoutTraces)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BarePolylines)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_NaiveWideFocusedPen)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectFullHistory)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MouseMoveReadout)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Reading)->ArgNames({"wholeCanvas", "following"})->ArgsProduct({{0, 1}, {0, 1}})->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_WheelStep)->ArgName("wheel")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MemoryOfFiveFullSeries)->Iterations(1)->Unit(benchmark::kMillisecond);

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
