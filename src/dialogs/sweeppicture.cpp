#include "dialogs/sweeppicture.h"

#include <QPainter>
#include <QPainterPath>

namespace qn {
namespace {

// Room for the V1 / V2 marks on the left and the T1 / T2 marks below.
constexpr int kLeft = 30;
constexpr int kRight = 14;
constexpr int kTop = 12;
constexpr int kBottom = 26;

void arrowHead(QPainter &p, QPoint tip, int direction)
{
    const QPoint back(-direction * 5, 0);
    p.drawLine(tip, tip + back + QPoint(0, -3));
    p.drawLine(tip, tip + back + QPoint(0, 3));
}

// A span between two x positions at height y with arrows at both ends and its name above.
void span(QPainter &p, int x0, int x1, int y, const QString &name)
{
    p.drawLine(x0, y, x1, y);
    arrowHead(p, {x0, y}, -1);
    arrowHead(p, {x1, y}, 1);
    p.drawText(QRect(x0, y + 1, x1 - x0, 12), Qt::AlignHCenter | Qt::AlignTop, name);
}

} // namespace

const QColor SweepPicture::kWaveColour(0, 0, 160);

SweepPicture::SweepPicture(QWidget *parent) : QWidget(parent)
{
    setFixedSize(kSize);
    setAccessibleName(QStringLiteral("V1 → V2 (T1), V2 → V1 (T2)"));
}

std::array<QPoint, 3> SweepPicture::wavePoints(QSize size)
{
    const int width = size.width() - kLeft - kRight;
    const int low = size.height() - kBottom;
    // T1 twice as long as T2, as the defaults are.
    const QPoint start(kLeft + width / 12, low);
    const QPoint peak(start.x() + width * 7 / 12, kTop);
    const QPoint end(peak.x() + width * 3 / 12, low);
    return {start, peak, end};
}

void SweepPicture::paint(QPainter &p, QSize size)
{
    const auto [start, peak, end] = wavePoints(size);
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    QFont font = p.font();
    font.setPixelSize(10);
    p.setFont(font);

    // Level lines and the drop lines that bound T1 and T2.
    p.setPen(QPen(Qt::gray, 1, Qt::DotLine));
    p.drawLine(kLeft - 4, peak.y(), size.width() - kRight, peak.y());
    p.drawLine(kLeft - 4, start.y(), size.width() - kRight, start.y());
    const int spanY = start.y() + 8;
    for (int x : {start.x(), peak.x(), end.x()})
        p.drawLine(x, peak.y(), x, spanY + 3);

    p.setPen(Qt::black);
    p.drawText(QRect(0, peak.y() - 6, kLeft - 6, 12), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("V2"));
    p.drawText(QRect(0, start.y() - 6, kLeft - 6, 12), Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("V1"));
    span(p, start.x(), peak.x(), spanY, QStringLiteral("T1"));
    span(p, peak.x(), end.x(), spanY, QStringLiteral("T2"));

    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(kWaveColour, 2));
    QPainterPath wave(start);
    wave.lineTo(peak);
    wave.lineTo(end);
    p.drawPath(wave);
}

void SweepPicture::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    paint(painter, size());
}

} // namespace qn
