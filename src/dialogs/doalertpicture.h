#pragma once
// The picture of a DO alert's behaviour: two bars, "LED" and "DO", from the top of the input
// range to its bottom, red where the LED is lit / the output on, blue where not, hatched where
// the output keeps its state (the hysteresis band), with the thresholds marked. One painter
// draws every case from a table; the number chooses the case (143..176, see doalert.h).
// GUI thread only.
#include <QString>
#include <QWidget>

#include <vector>

class QPainter;

namespace qn {

class DoAlertPicture final : public QWidget {
    Q_OBJECT
public:
    static constexpr int kWidth = 246;
    static constexpr int kHeight = 302;

    enum class Region { On, Off, Hysteresis };

    // A threshold mark: its height (label slot 1..7, top to bottom) and its text.
    struct Mark {
        int slot;
        QString text;
    };

    explicit DoAlertPicture(QWidget *parent = nullptr);

    // An unknown number shows the first picture.
    void setIllustration(int number);
    int illustration() const { return m_illustration; }

    // Height of a slot in the picture: 0 the top of the bars, 1..7 the label slots, 8 the bottom.
    static int slotY(int slot);
    // Where the bars are, left to right: LED then DO.
    static QRect ledBar();
    static QRect doBar();
    // What the picture of a number shows between slot k and k+1 (k = 0..7).
    static std::vector<Region> doRegions(int number);
    static std::vector<Region> ledRegions(int number);
    static std::vector<Mark> marks(int number);

    // Paints picture `number` at (0, 0) in logical pixels, kWidth x kHeight.
    static void paint(QPainter &painter, int number);

    QSize sizeHint() const override { return {kWidth, kHeight}; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    int m_illustration;
};

} // namespace qn
