#pragma once
// The picture of the sweep settings dialog: one triangle of the wave, rising from the low
// value V1 over T1 to the high value V2 and falling over T2 back to V1, with those four
// marks. Drawn by the program, so it scales and needs no bitmap. GUI thread only.
#include <QWidget>

#include <array>

class QPainter;

namespace qn {

class SweepPicture final : public QWidget {
    Q_OBJECT
public:
    static constexpr QSize kSize{214, 85};
    static const QColor kWaveColour;

    explicit SweepPicture(QWidget *parent = nullptr);
    QSize sizeHint() const override { return kSize; }

    // Start (at V1), peak (at V2) and end (at V1) of the triangle in a picture of that size.
    static std::array<QPoint, 3> wavePoints(QSize size);
    static void paint(QPainter &painter, QSize size);

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace qn
