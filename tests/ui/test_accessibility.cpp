// What assistive tools read from value displays, lamps and labelled combo boxes.
#include "ui/accessibility.h"
#include "ui/elidedtext.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QWidget>

#include <gtest/gtest.h>


namespace qn {
namespace {

QString shownText(QAccessibleInterface *iface)
{
    QAccessibleTextInterface *text = iface->textInterface();
    return text ? text->text(0, text->characterCount()) : QStringLiteral("<no text interface>");
}

TEST(Accessibility, ValueDisplaySaysWhatItIsAndFollowsItsReading)
{
    QWidget page;
    auto *label = new QLabel(&page);
    // As a form does: named first, which has Qt make its plain interface at once.
    label->setAccessibleName(QStringLiteral("AI1 測定値"));
    ASSERT_NE(QAccessible::queryAccessibleInterface(label), nullptr);
    exposeAsValueDisplay(label);
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(label);
    ASSERT_NE(iface, nullptr);
    for (const QString reading : {"1.23450 V", "-0.00100 V", "", "20.000 mA"}) {
        setDisplayText(label, reading);
        EXPECT_EQ(label->text(), reading);
        EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("AI1 測定値"));
        EXPECT_EQ(iface->text(QAccessible::Value), reading);
        EXPECT_EQ(shownText(iface), reading);
    }
}

TEST(Accessibility, LampExposesItsStateInWords)
{
    QWidget page;
    auto *lamp = new QLabel(&page);
    exposeAsValueDisplay(lamp, QStringLiteral("DO1 出力状態"));
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(lamp);
    for (const QString state : {"ON", "OFF"}) {
        setAccessibleState(lamp, state);
        EXPECT_EQ(iface->text(QAccessible::Name), QStringLiteral("DO1 出力状態"));
        EXPECT_EQ(iface->text(QAccessible::Value), state);
        EXPECT_EQ(shownText(iface), state);
    }
}

// A signal name of 16 bytes (8 full-width or 16 half-width characters) in a name display.
TEST(Accessibility, ElidedNameIsReadWhole)
{
    QWidget page;
    auto *label = new QLabel(&page);
    label->setFrameShape(QFrame::StyledPanel);
    label->setGeometry(0, 0, 60, 20);
    exposeAsValueDisplay(label, QStringLiteral("AI1 信号名"));
    page.show();
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(label);
    for (const QString name : {"温度センサー１２", "ABCDEFGHIJKLMNOP", "1"}) {
        label->resize(60, 20);
        setElidedText(label, name);
        const bool fits = label->text() == name;
        EXPECT_TRUE(fits || label->text().endsWith(QChar(0x2026))) << label->text().toStdString();
        EXPECT_LE(label->fontMetrics().horizontalAdvance(label->text()), label->contentsRect().width());
        EXPECT_EQ(label->toolTip(), fits ? QString() : name);
        EXPECT_EQ(iface->text(QAccessible::Description), name);
        EXPECT_EQ(iface->text(QAccessible::Value), name);
        EXPECT_EQ(fullText(label), name);
        label->resize(400, 20); // room enough: the whole name, no tooltip
        EXPECT_EQ(label->text(), name);
        EXPECT_TRUE(label->toolTip().isEmpty());
    }
}

TEST(Accessibility, ComboBoxIsLabelledByItsBuddy)
{
    QWidget page;
    auto *combo = new QComboBox(&page);
    combo->setObjectName(QStringLiteral("rangeCombo1"));
    combo->setAccessibleName(QStringLiteral("AI1 測定レンジ"));
    combo->addItems({QStringLiteral("±100mV"), QStringLiteral("±1V")});
    QLabel *label = linkAccessibleLabel(combo);
    EXPECT_EQ(label->buddy(), combo);
    page.show();
    EXPECT_FALSE(label->isVisible()); // the form shows the words as a column heading

    QStringList labels;
    QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(combo);
    for (const auto &[other, relation] : iface->relations(QAccessible::Label))
        labels << other->text(QAccessible::Name);
    EXPECT_EQ(labels, QStringList{QStringLiteral("AI1 測定レンジ")});
}

} // namespace
} // namespace qn
