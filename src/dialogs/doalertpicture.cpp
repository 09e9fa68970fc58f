#include "dialogs/doalertpicture.h"

#include "model/doalert.h"

#include <QFontDatabase>
#include <QPaintEvent>
#include <QPainter>

#include <array>

namespace qn {

namespace {

// The bars run from the top of the input range (top) to its bottom, in eight equal steps
// between the seven label slots. '+' on (LED lit), '-' off, '/' the output keeps its state.
// Under a hysteresis band the LED is lit when the output turns off first (the band is the
// LED's, the output waits) and dark when it turns on first.
struct Case {
    const char *output;
    const char *led;
};

constexpr std::array<Case, doalert::kIllustrationCount> kCases{{
    // 1: on inside a window (thresholds at slots 2 and 6).
    {"--++++--", "--++++--"}, // 143 no band
    {"-/++++/-", "--++++--"}, // 144 bands outside
    {"//++++/-", "--++++--"}, // 145 upper band reaches the top
    {"-/++++//", "--++++--"}, // 146 lower band reaches the bottom
    {"//++++//", "--++++--"}, // 147 both reach the ends
    {"--/++/--", "--++++--"}, // 148 bands inside
    {"--////--", "--++++--"}, // 149 bands inside fill the window
    // 2: on outside a window.
    {"++----++", "++----++"}, // 150
    {"+/----/+", "++----++"}, // 151
    {"//----/+", "++----++"}, // 152
    {"+/----//", "++----++"}, // 153
    {"//----//", "++----++"}, // 154
    {"++/--/++", "++----++"}, // 155
    {"++////++", "++----++"}, // 156
    // 3: on above one level (slot 4).
    {"++++----", "++++----"}, // 157 no band
    {"+++/----", "++++----"}, // 158 band above the level
    {"////----", "++++----"}, // 159 band from the level to the top
    {"/++/----", "++++----"}, // 160 band above the level, and below the top of the range
    {"++++/---", "++++----"}, // 161 band below the level
    {"++++////", "++++----"}, // 162 band from the level to the bottom
    {"++++/--/", "++++----"}, // 163 band below the level, and above the bottom of the range
    // 4: on below one level.
    {"----++++", "----++++"}, // 164
    {"---/++++", "----++++"}, // 165
    {"////++++", "----++++"}, // 166
    {"/--/++++", "----++++"}, // 167
    {"----/+++", "----++++"}, // 168
    {"----////", "----++++"}, // 169
    {"----/++/", "----++++"}, // 170
    // 5: always on; 171 the output never follows the input.
    {"////////", "++++++++"}, // 171
    {"++++++++", "++++++++"}, // 172
    {"/++++++/", "++++++++"}, // 173 bands at both ends of the range
    // 6: never on.
    {"////////", "--------"}, // 174
    {"--------", "--------"}, // 175
    {"/------/", "--------"}, // 176
}};

constexpr int kBarTop = 26;
constexpr int kStep = 26;
constexpr int kSlots = 8;

const QColor kOnColor(255, 0, 0);
const QColor kOffColor(0, 0, 255);
const QColor kBandColor(236, 236, 236);
const QColor kHatchColor(72, 72, 72);

const Case &caseOf(int number)
{
    const int n = number - doalert::kFirstIllustration;
    return kCases[size_t(n >= 0 && n < doalert::kIllustrationCount ? n : 0)];
}

std::vector<DoAlertPicture::Region> regions(const char *cells)
{
    std::vector<DoAlertPicture::Region> out;
    for (const char *c = cells; *c; ++c)
        out.push_back(*c == '+' ? DoAlertPicture::Region::On
                                : *c == '-' ? DoAlertPicture::Region::Off : DoAlertPicture::Region::Hysteresis);
    return out;
}

// A face with Japanese glyphs that stays legible at 11-12 px.
QFont pictureFont(int pixelSize, bool bold = false)
{
    static const QString family = [] {
        const QStringList wanted = {QStringLiteral("VL PGothic"), QStringLiteral("VL Pゴシック"),
                                    QStringLiteral("Yu Gothic UI"), QStringLiteral("Meiryo UI"),
                                    QStringLiteral("MS UI Gothic"), QStringLiteral("Noto Sans CJK JP"),
                                    QStringLiteral("IPAPGothic"), QStringLiteral("IPAPゴシック")};
        const QStringList have = QFontDatabase::families();
        for (const QString &f : wanted)
            if (have.contains(f))
                return f;
        return QFontDatabase::systemFont(QFontDatabase::GeneralFont).family();
    }();
    QFont font(family);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

void fillRegion(QPainter &p, const QRect &r, DoAlertPicture::Region region)
{
    switch (region) {
    case DoAlertPicture::Region::On: p.fillRect(r, kOnColor); return;
    case DoAlertPicture::Region::Off: p.fillRect(r, kOffColor); return;
    case DoAlertPicture::Region::Hysteresis: break;
    }
    p.fillRect(r, kBandColor);
    p.save();
    p.setClipRect(r);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.setPen(QPen(kHatchColor, 1.2));
    // Lines rising to the right, 6 px apart along x + y = c with c a multiple of 6: anchored to
    // the picture, so the lines of adjacent bands join up.
    const int top = r.top();
    const int bottom = r.bottom() + 1;
    for (int c = (r.left() + top) / 6 * 6; c <= r.right() + 1 + bottom; c += 6)
        p.drawLine(QPointF(c - bottom, bottom), QPointF(c - top, top));
    p.restore();
}

void drawBar(QPainter &p, const QRect &bar, const std::vector<DoAlertPicture::Region> &cells)
{
    for (int k = 0; k < kSlots; ++k)
        fillRegion(p, QRect(bar.left(), DoAlertPicture::slotY(k), bar.width(), kStep), cells[size_t(k)]);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(bar.adjusted(0, 0, -1, -1));
}

QString regionName(DoAlertPicture::Region region)
{
    switch (region) {
    case DoAlertPicture::Region::On: return DoAlertPicture::tr("ON 制御領域");
    case DoAlertPicture::Region::Off: return DoAlertPicture::tr("OFF 制御領域");
    case DoAlertPicture::Region::Hysteresis: break;
    }
    return DoAlertPicture::tr("ヒステリシス領域");
}

// "ON 制御領域, ヒステリシス領域, ..." from the top down, for screen readers.
QString describe(const std::vector<DoAlertPicture::Region> &cells)
{
    QStringList parts;
    for (size_t k = 0; k < cells.size(); ++k)
        if (k == 0 || cells[k] != cells[k - 1])
            parts << regionName(cells[k]);
    return parts.join(QStringLiteral(", "));
}

} // namespace

DoAlertPicture::DoAlertPicture(QWidget *parent) : QWidget(parent), m_illustration(doalert::kFirstIllustration)
{
    setFixedSize(kWidth, kHeight);
    setAccessibleName(QStringLiteral("DO"));
    setIllustration(m_illustration);
}

void DoAlertPicture::setIllustration(int number)
{
    if (!doalert::caseOf(number))
        number = doalert::kFirstIllustration;
    m_illustration = number;
    setAccessibleDescription(QStringLiteral("LED: ") + describe(ledRegions(number)) + QStringLiteral(" / DO: ")
                             + describe(doRegions(number)));
    update();
}

int DoAlertPicture::slotY(int slot) { return kBarTop + kStep * slot; }

QRect DoAlertPicture::ledBar() { return {12, kBarTop, 36, kStep * kSlots}; }
QRect DoAlertPicture::doBar() { return {60, kBarTop, 36, kStep * kSlots}; }

std::vector<DoAlertPicture::Region> DoAlertPicture::doRegions(int number) { return regions(caseOf(number).output); }
std::vector<DoAlertPicture::Region> DoAlertPicture::ledRegions(int number) { return regions(caseOf(number).led); }

std::vector<DoAlertPicture::Mark> DoAlertPicture::marks(int number)
{
    // A threshold is wherever the output's behaviour changes. Leaving a band into a steady
    // region switches the output to that region's state; between two steady regions it
    // switches both ways.
    const std::vector<Region> cells = doRegions(number);
    std::vector<Mark> out;
    for (int slot = 1; slot < kSlots; ++slot) {
        const Region above = cells[size_t(slot - 1)];
        const Region below = cells[size_t(slot)];
        if (above == below)
            continue;
        const Region steady = above == Region::Hysteresis ? below : above;
        QString text;
        if (above != Region::Hysteresis && below != Region::Hysteresis)
            text = tr("ON/OFF閾値");
        else if (steady == Region::On)
            text = tr("OFF→ON閾値");
        else
            text = tr("ON→OFF閾値");
        out.push_back({slot, text});
    }
    return out;
}

void DoAlertPicture::paint(QPainter &p, int number)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, true);
    p.fillRect(QRect(0, 0, kWidth, kHeight), Qt::white);
    p.setPen(QPen(QColor(160, 160, 160), 1));
    p.drawRect(0, 0, kWidth - 1, kHeight - 1);

    p.setPen(Qt::black);
    p.setFont(pictureFont(13, true));
    for (const auto &[bar, name] : {std::pair{ledBar(), "LED"}, std::pair{doBar(), "DO"}})
        p.drawText(QRect(bar.left() - 8, 4, bar.width() + 16, kBarTop - 6), Qt::AlignHCenter | Qt::AlignBottom,
                   QString::fromLatin1(name));

    drawBar(p, ledBar(), ledRegions(number));
    drawBar(p, doBar(), doRegions(number));

    // Each mark runs across both bars to the right edge, where the dialog puts its value.
    p.setFont(pictureFont(12));
    const int textLeft = doBar().right() + 8;
    for (const Mark &m : marks(number)) {
        const int y = slotY(m.slot);
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(ledBar().left() - 6, y, kWidth - 1, y);
        p.drawText(QRect(textLeft, y - 16, kWidth - textLeft - 2, 15), Qt::AlignLeft | Qt::AlignBottom, m.text);
    }

    // Legend of the three regions.
    p.setFont(pictureFont(12));
    int y = slotY(kSlots) + 10;
    for (Region r : {Region::On, Region::Off, Region::Hysteresis}) {
        const QRect swatch(12, y + 2, 30, 13);
        fillRegion(p, swatch, r);
        p.setPen(QPen(Qt::black, 1));
        p.drawRect(swatch.adjusted(0, 0, -1, -1));
        p.drawText(QRect(50, y, kWidth - 54, 17), Qt::AlignLeft | Qt::AlignVCenter, regionName(r));
        y += 19;
    }
    p.restore();
}

void DoAlertPicture::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    paint(p, m_illustration);
}

} // namespace qn
