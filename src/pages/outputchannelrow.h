#pragma once
// The controls of one analog output on the QN-110 and QN-120 pages, made once per
// channel and laid into two rows of the page's output grid: name, its Edit button, lamp,
// value edit, unit, ON/OFF, the set value; then the bar and the formula, threshold, V/I,
// sweep-settings and SWEEP buttons. Every control carries an accessible name that starts
// with the channel ("AO2 閾値"). The page connects the controls. GUI thread only.
#include <QObject>

class QGridLayout;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QWidget;

namespace qn {

class OutputChannelRow final {
public:
    // number: the output's number from 1; gridRow: the first of its two rows in grid.
    OutputChannelRow(QWidget *page, QGridLayout &grid, int gridRow, int number);

    QLabel *name;
    QPushButton *nameButton;
    QLabel *lamp;
    QLineEdit *valueEdit;
    QLabel *unit;
    QPushButton *toggleButton;
    QLabel *display;
    QProgressBar *bar;
    QPushButton *formulaButton;
    QPushButton *thresholdButton;
    QPushButton *rangeButton;
    QPushButton *sweepSettingsButton;
    QPushButton *sweepButton;
};

} // namespace qn
