#include "dialogs/doalertpicture.h"
#include "model/doalert.h"

#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <map>
#include <set>

using qn::DoAlertPicture;
using Region = DoAlertPicture::Region;
namespace da = qn::doalert;

namespace {

QImage render(int number, qreal ratio = 1.0)
{
    QImage image(QSize(DoAlertPicture::kWidth, DoAlertPicture::kHeight) * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::black);
    QPainter p(&image);
    DoAlertPicture::paint(p, number);
    return image;
}

// What a step of a bar is painted as: solid red, solid blue, or light with dark hatch lines.
std::optional<Region> regionAt(const QImage &image, const QRect &bar, int step)
{
    int red = 0, blue = 0, grey = 0, light = 0, dark = 0, total = 0;
    for (int y = DoAlertPicture::slotY(step) + 3; y < DoAlertPicture::slotY(step + 1) - 3; ++y)
        for (int x = bar.left() + 3; x < bar.right() - 3; ++x, ++total) {
            const QColor c = image.pixelColor(x, y);
            red += c == QColor(255, 0, 0);
            blue += c == QColor(0, 0, 255);
            if (c.red() == c.green() && c.green() == c.blue()) {
                ++grey;
                light += c.red() > 200;
                dark += c.red() < 140;
            }
        }
    if (red == total)
        return Region::On;
    if (blue == total)
        return Region::Off;
    if (grey == total && dark > total / 20 && light > total / 3)
        return Region::Hysteresis;
    return std::nullopt;
}

// Settings that between them reach every picture.
std::vector<da::Setting> settingGrid()
{
    std::vector<da::Setting> out;
    for (int high : {0x1000, 0x7000, 0x7FFF, 0x0800})
        for (int low : {0x0800, 0x9000, 0x8000, 0x1000})
            for (int width : {0, 0x100, 0x500, 0x1000, 0x4000, 0x5000, 0x8000})
                for (int cond : {0, 1})
                    for (int dir : {0, 1})
                        out.push_back({2, cond, high, low, width, dir});
    return out;
}

} // namespace

TEST(DoAlertPicture, MarksStandWhereTheSettingsLabelsAre)
{
    std::set<int> reached;
    for (const da::Setting &s : settingGrid()) {
        const da::Outcome out = da::evaluate(s);
        reached.insert(out.illustration);
        std::set<int> labelled, marked;
        for (int i = 0; i < da::kLabelCount; ++i)
            if (out.labels[size_t(i)])
                labelled.insert(i + 1);
        for (const DoAlertPicture::Mark &m : DoAlertPicture::marks(out.illustration))
            marked.insert(m.slot);
        EXPECT_EQ(marked, labelled) << "picture " << out.illustration << " high " << s.high << " low " << s.low
                                    << " width " << s.width << " condition " << s.ledCondition << " direction "
                                    << s.direction;
    }
    EXPECT_EQ(int(reached.size()), da::kIllustrationCount);
}

TEST(DoAlertPicture, TheOutputIsOnWhereItsGroupSays)
{
    // Away from the thresholds and bands: the middle (slots 3-5) and the ends of the range.
    for (int n = da::kFirstIllustration; n <= da::kLastIllustration; ++n) {
        const auto gc = *da::caseOf(n);
        const auto cells = DoAlertPicture::doRegions(n);
        const auto led = DoAlertPicture::ledRegions(n);
        SCOPED_TRACE(n);
        const bool keeps = gc.caseNo == 0 || (gc.group <= 2 && gc.caseNo == 7);
        switch (gc.group) {
        case 1:
            EXPECT_EQ(cells[3], keeps ? Region::Hysteresis : Region::On);
            break;
        case 2:
            EXPECT_EQ(cells[3], keeps ? Region::Hysteresis : Region::Off);
            break;
        case 3:
            EXPECT_TRUE(cells[1] != Region::Off && cells[6] != Region::On);
            EXPECT_EQ(led[0], Region::On);
            EXPECT_EQ(led[7], Region::Off);
            break;
        case 4:
            EXPECT_TRUE(cells[1] != Region::On && cells[6] != Region::Off);
            EXPECT_EQ(led[0], Region::Off);
            EXPECT_EQ(led[7], Region::On);
            break;
        case 5:
        case 6:
            for (Region r : led) {
                EXPECT_EQ(r, gc.group == 5 ? Region::On : Region::Off);
            }
            for (Region r : cells) {
                EXPECT_NE(r, gc.group == 5 ? Region::Off : Region::On);
            }
            break;
        }
        // Where the output does not wait, it follows the LED.
        for (size_t k = 0; k < cells.size(); ++k) {
            if (cells[k] != Region::Hysteresis) {
                EXPECT_EQ(cells[k], led[k]) << "step " << k;
            }
        }
    }
}

TEST(DoAlertPicture, ThresholdTextsFollowTheirBands)
{
    struct Case { int number; std::map<int, const char *> marks; };
    const Case cases[] = {
        {143, {{2, "ON/OFF閾値"}, {6, "ON/OFF閾値"}}},
        {148, {{2, "ON→OFF閾値"}, {3, "OFF→ON閾値"}, {5, "OFF→ON閾値"}, {6, "ON→OFF閾値"}}},
        {151, {{1, "OFF→ON閾値"}, {2, "ON→OFF閾値"}, {6, "ON→OFF閾値"}, {7, "OFF→ON閾値"}}},
        {160, {{1, "OFF→ON閾値"}, {3, "OFF→ON閾値"}, {4, "ON→OFF閾値"}}},
        {176, {{1, "ON→OFF閾値"}, {7, "ON→OFF閾値"}}},
        {171, {}},
    };
    for (const Case &c : cases) {
        std::map<int, QString> got;
        for (const auto &m : DoAlertPicture::marks(c.number))
            got[m.slot] = m.text;
        std::map<int, QString> want;
        for (const auto &[slot, text] : c.marks)
            want[slot] = QString::fromUtf8(text);
        EXPECT_EQ(got, want) << c.number;
    }
}

TEST(DoAlertPicture, PaintsEachStepInItsRegionColour)
{
    for (int n = da::kFirstIllustration; n <= da::kLastIllustration; ++n) {
        const QImage image = render(n);
        const auto cells = DoAlertPicture::doRegions(n);
        const auto led = DoAlertPicture::ledRegions(n);
        for (int k = 0; k < 8; ++k) {
            EXPECT_EQ(regionAt(image, DoAlertPicture::doBar(), k), cells[size_t(k)]) << n << " DO step " << k;
            EXPECT_EQ(regionAt(image, DoAlertPicture::ledBar(), k), led[size_t(k)]) << n << " LED step " << k;
        }
    }
    // Spot checks against the meaning: a window with bands inside it.
    const QImage image = render(148);
    EXPECT_EQ(regionAt(image, DoAlertPicture::doBar(), 0), Region::Off);
    EXPECT_EQ(regionAt(image, DoAlertPicture::doBar(), 2), Region::Hysteresis);
    EXPECT_EQ(regionAt(image, DoAlertPicture::doBar(), 3), Region::On);
    EXPECT_EQ(regionAt(image, DoAlertPicture::ledBar(), 2), Region::On);
    EXPECT_EQ(regionAt(image, DoAlertPicture::doBar(), 7), Region::Off);
}

TEST(DoAlertPicture, MarksAreDrawnAcrossTheBarsOnTheirPixelRow)
{
    const QImage image = render(151);
    for (int slot : {1, 2, 6, 7}) {
        const int y = DoAlertPicture::slotY(slot);
        EXPECT_EQ(image.pixelColor(DoAlertPicture::doBar().center().x(), y), QColor(Qt::black)) << slot;
        EXPECT_EQ(image.pixelColor(DoAlertPicture::kWidth - 2, y), QColor(Qt::black)) << slot;
    }
    EXPECT_NE(image.pixelColor(DoAlertPicture::kWidth - 2, DoAlertPicture::slotY(4)), QColor(Qt::black));
}

TEST(DoAlertPicture, AtRatioTwoEdgesStayOnWholePixels)
{
    const QImage image = render(148, 2.0);
    const int x = DoAlertPicture::doBar().center().x() * 2;
    // Blue step 1 meets the two device rows of the mark at slot 2 with no blended row.
    const int y = DoAlertPicture::slotY(2) * 2;
    EXPECT_EQ(image.pixelColor(x, y - 2), QColor(0, 0, 255));
    EXPECT_EQ(image.pixelColor(x, y - 1), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(x, y), QColor(Qt::black));
    EXPECT_EQ(image.pixelColor(x, DoAlertPicture::slotY(4) * 2), QColor(255, 0, 0));
}

TEST(DoAlertPicture, UnknownNumbersShowTheFirstPicture)
{
    DoAlertPicture picture;
    picture.setIllustration(200);
    EXPECT_EQ(picture.illustration(), da::kFirstIllustration);
    picture.setIllustration(160);
    EXPECT_EQ(picture.illustration(), 160);
    EXPECT_EQ(picture.size(), QSize(DoAlertPicture::kWidth, DoAlertPicture::kHeight));
    EXPECT_TRUE(picture.accessibleDescription().contains(QStringLiteral("ヒステリシス領域")));
}

// For a person to look at: every picture with its number and group/case, in the build folder.
TEST(DoAlertPicture, WritesAContactSheet)
{
    constexpr int columns = 6;
    constexpr int caption = 22;
    constexpr int gap = 10;
    const int rows = (da::kIllustrationCount + columns - 1) / columns;
    const int cellW = DoAlertPicture::kWidth + gap;
    const int cellH = DoAlertPicture::kHeight + caption + gap;
    QImage sheet(columns * cellW + gap, rows * cellH + gap, QImage::Format_RGB32);
    sheet.fill(QColor(200, 200, 200));
    QPainter p(&sheet);
    for (int n = da::kFirstIllustration; n <= da::kLastIllustration; ++n) {
        const int i = n - da::kFirstIllustration;
        const QPoint at(gap + (i % columns) * cellW, gap + (i / columns) * cellH);
        const auto gc = *da::caseOf(n);
        p.setPen(Qt::black);
        p.drawText(QRect(at, QSize(DoAlertPicture::kWidth, caption)), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("%1   group %2 / case %3").arg(n).arg(gc.group).arg(gc.caseNo));
        p.save();
        p.translate(at + QPoint(0, caption));
        DoAlertPicture::paint(p, n);
        p.restore();
    }
    p.end();
    const QString path = QStringLiteral(QN_BUILD_DIR "/doalert-pictures.png");
    ASSERT_TRUE(sheet.save(path)) << path.toStdString();
}
