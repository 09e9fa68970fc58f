#include "pages/outputchannelrow.h"

#include "ui/language.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

#include <vector>

namespace qn {

namespace {

constexpr int kMaxHeight = 16777215;

QLabel *sunkenLabel(QWidget *page, const QString &text, QFrame::Shape shape)
{
    auto *label = new QLabel(text, page);
    label->setFrameShape(shape);
    label->setFrameShadow(QFrame::Sunken);
    return label;
}

QPushButton *button(QWidget *page, const QString &text, int maxWidth)
{
    auto *b = new QPushButton(text, page);
    b->setMaximumSize(maxWidth, kMaxHeight);
    b->setAutoDefault(false);
    return b;
}

} // namespace

// Made in the order the keyboard visits them.
OutputChannelRow::OutputChannelRow(QWidget *page, QGridLayout &grid, int gridRow, int number)
    : name(sunkenLabel(page, QString::number(number), QFrame::StyledPanel)),
      nameButton(button(page, QStringLiteral("Edit"), 64)),
      lamp(sunkenLabel(page, {}, QFrame::Panel)),
      valueEdit(new QLineEdit(page)),
      unit(new QLabel(page)),
      toggleButton(button(page, QStringLiteral("ON/OFF"), 72)),
      display(sunkenLabel(page, {}, QFrame::StyledPanel)),
      bar(new QProgressBar(page)),
      formulaButton(button(page, {}, 64)),
      thresholdButton(button(page, {}, 64)),
      rangeButton(button(page, QStringLiteral("V/I"), 64)),
      sweepSettingsButton(button(page, {}, 64)),
      sweepButton(button(page, QStringLiteral("SWEEP"), 72))
{
    name->setMinimumSize(96, 0);
    lamp->setFixedSize(24, 20);
    lamp->setAutoFillBackground(true);
    valueEdit->setMinimumSize(90, 0);
    valueEdit->setMaximumSize(110, kMaxHeight);
    unit->setMinimumSize(40, 0);
    display->setMinimumSize(150, 0);
    display->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    bar->setTextVisible(false);
    bar->setMaximumSize(kMaxHeight, 12);

    // Object names as the forms had them (aoValueEdit2, ...): tests and tools find them.
    // The toggle button's name follows what it does now (the page sets it). The names
    // are translated apart from the buttons' texts: they follow the channel ("AO1 bar").
    struct Named { QWidget *widget; const char *objectName; const char *accessible; };
    const Named names[] = {
        {name, "aoName", QT_TRANSLATE_NOOP("qn::OutputChannelName", "信号名")},
        {nameButton, "aoNameButton", QT_TRANSLATE_NOOP("qn::OutputChannelName", "信号名の編集")},
        {lamp, "aoLamp", QT_TRANSLATE_NOOP("qn::OutputChannelName", "出力状態")},
        {valueEdit, "aoValueEdit", QT_TRANSLATE_NOOP("qn::OutputChannelName", "換算出力値")},
        {unit, "aoUnit", QT_TRANSLATE_NOOP("qn::OutputChannelName", "単位")},
        {toggleButton, "aoToggleButton", nullptr},
        {display, "aoDisplay", QT_TRANSLATE_NOOP("qn::OutputChannelName", "出力設定値")},
        {bar, "aoBar", QT_TRANSLATE_NOOP("qn::OutputChannelName", "バー")},
        {formulaButton, "aoFormulaButton", QT_TRANSLATE_NOOP("qn::OutputChannelName", "換算式")},
        {thresholdButton, "aoThresholdButton", QT_TRANSLATE_NOOP("qn::OutputChannelName", "閾値")},
        {rangeButton, "aoRangeButton", "V/I"},
        {sweepSettingsButton, "aoSweepSettingsButton", QT_TRANSLATE_NOOP("qn::OutputChannelName", "スイープ設定")},
        {sweepButton, "aoSweepButton", "SWEEP"},
    };
    for (const Named &n : names)
        n.widget->setObjectName(QString::fromLatin1(n.objectName) + QString::number(number));
    toggleButton->setAccessibleName(QStringLiteral("AO%1 ON/OFF").arg(number));
    const QString channel = QStringLiteral("AO%1 ").arg(number);
    std::vector<Named> translated(std::begin(names), std::end(names));
    // The row itself may move (it is kept by value); its widgets stay where they are.
    keepTranslated(formulaButton, [formulaButton = formulaButton, thresholdButton = thresholdButton,
                                   sweepSettingsButton = sweepSettingsButton, channel, translated] {
        const auto shown = [](const char *text) { return QCoreApplication::translate("qn::OutputChannelRow", text); };
        formulaButton->setText(shown(QT_TRANSLATE_NOOP("qn::OutputChannelRow", "換算式")));
        thresholdButton->setText(shown(QT_TRANSLATE_NOOP("qn::OutputChannelRow", "閾値")));
        sweepSettingsButton->setText(shown(QT_TRANSLATE_NOOP("qn::OutputChannelRow", "設定")));
        for (const Named &n : translated) {
            if (n.accessible)
                n.widget->setAccessibleName(channel + QCoreApplication::translate("qn::OutputChannelName", n.accessible));
        }
    });

    const QWidget *top[] = {name, nameButton, lamp, valueEdit, unit, toggleButton, display};
    for (int column = 0; column < int(std::size(top)); ++column)
        grid.addWidget(const_cast<QWidget *>(top[column]), gridRow, column);
    grid.addWidget(bar, gridRow + 1, 0, 1, 5);
    auto *buttons = new QHBoxLayout;
    for (QPushButton *b : {formulaButton, thresholdButton, rangeButton, sweepSettingsButton, sweepButton})
        buttons->addWidget(b);
    grid.addLayout(buttons, gridRow + 1, 5, 1, 2);
}

} // namespace qn
