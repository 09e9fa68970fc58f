#include "pages/outputchannelrow.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

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
      formulaButton(button(page, QStringLiteral("換算式"), 64)),
      thresholdButton(button(page, QStringLiteral("閾値"), 64)),
      rangeButton(button(page, QStringLiteral("V/I"), 64)),
      sweepSettingsButton(button(page, QStringLiteral("設定"), 64)),
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
    struct Named { QWidget *widget; const char *objectName; const char *accessible; };
    const Named names[] = {
        {name, "aoName", "信号名"},
        {nameButton, "aoNameButton", "信号名の編集"},
        {lamp, "aoLamp", "出力状態"},
        {valueEdit, "aoValueEdit", "換算出力値"},
        {unit, "aoUnit", "単位"},
        {toggleButton, "aoToggleButton", "ON/OFF"},
        {display, "aoDisplay", "出力設定値"},
        {bar, "aoBar", "バー"},
        {formulaButton, "aoFormulaButton", "換算式"},
        {thresholdButton, "aoThresholdButton", "閾値"},
        {rangeButton, "aoRangeButton", "V/I"},
        {sweepSettingsButton, "aoSweepSettingsButton", "スイープ設定"},
        {sweepButton, "aoSweepButton", "SWEEP"},
    };
    const QString channel = QStringLiteral("AO%1 ").arg(number);
    for (const Named &n : names) {
        n.widget->setObjectName(QString::fromLatin1(n.objectName) + QString::number(number));
        n.widget->setAccessibleName(channel + QString::fromUtf8(n.accessible));
    }

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
