#pragma once
// "DOアラート設定": edits the DO alert of one QN-220 output (which analog input it follows,
// the width and direction of its hysteresis band) together with that input's LED condition
// and thresholds, and shows before OK what the output will do: a picture of the case and
// the threshold values beside it. Everything is kept as the unit's raw codes.
// The owner fills the fields, runs the dialog (runDialog) and after OK sends the alert and
// the monitored input's thresholds. A value whose text the operator leaves as the dialog
// wrote it keeps its code exactly. GUI thread only.
#include "model/doalert.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui { class DoAlertDialog; }

class QLineEdit;

namespace qn {

class DoAlertDialog final : public QDialog {
    Q_OBJECT
public:
    explicit DoAlertDialog(QWidget *parent = nullptr);
    ~DoAlertDialog() override;

    // One analog input as the page holds it.
    struct Input {
        int ledOutside = 0; // 1 = its LED lights outside low..high
        int high = 0;       // threshold codes, unsigned 16-bit
        int low = 0;
        int range = 2;      // range code
    };

    // In and out.
    int monitoredInput = 0;      // 0..2
    int hysteresisWidth = 0;     // width code, unsigned 16-bit
    int hysteresisDirection = 0; // 0 "消灯閾値優先", 1 "点灯閾値優先"
    // In only: the three inputs, read when one is chosen.
    std::array<Input, 3> inputs{};
    // Out: what to send as the monitored input's thresholds.
    int ledCondition = 0; // 0 "範囲内", 1 "範囲外": the LED outside flag
    int highCode = 0;
    int lowCode = 0;

    // Puts the fields into the controls; runs when the dialog is shown.
    void loadFields();
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class Field { High, Low, Width };

    void selectInput();
    void editValue(Field field);
    void refresh();
    int range() const;
    QLineEdit *edit(Field field) const;

    std::unique_ptr<Ui::DoAlertDialog> m_ui;
    doalert::Outcome m_outcome;
    // The text each edit was last given by the dialog and the code it was written from:
    // while the edit holds that text, the field has that code.
    std::array<QString, 3> m_shown;
    std::array<int, 3> m_shownCodes{};
};

} // namespace qn
