#pragma once
// "DOアラート設定": edits the DO alert of one QN-220 output (which analog input it follows,
// the width and direction of its hysteresis band) together with that input's LED condition
// and thresholds, and shows before OK what the output will do: a picture of the case and
// the threshold values beside it. Everything is kept as the unit's raw codes.
// The owner opens it with the output's alert and the three inputs, runs it (runDialog) and
// after OK sends the alert and the monitored input's thresholds from choice(). choice()
// follows the controls while the dialog is open. A value whose text the operator leaves as
// the dialog wrote it keeps its code exactly. GUI thread only.
#include "model/doalert.h"

#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui { class DoAlertDialog; }

class QLineEdit;

namespace qn {

// One analog input as the page holds it, read when the dialog chooses it.
struct DoAlertInput {
    int ledOutside = 0; // 1 = its LED lights outside low..high
    int high = 0;       // threshold codes, unsigned 16-bit
    int low = 0;
    int range = 2;      // range code
};
using DoAlertInputs = std::array<DoAlertInput, 3>;

// The output's alert and what to send as the monitored input's LED condition and thresholds.
struct DoAlertChoice {
    int monitoredInput = 0;      // 0..2
    int hysteresisWidth = 0;     // width code, unsigned 16-bit
    int hysteresisDirection = 0; // 0 "消灯閾値優先", 1 "点灯閾値優先"
    // Taken from the monitored input when the dialog is shown or another input is chosen.
    int ledCondition = 0; // 0 "範囲内", 1 "範囲外": the LED outside flag
    int highCode = 0;
    int lowCode = 0;
};

class DoAlertDialog final : public QDialog {
    Q_OBJECT
public:
    // alert gives the monitored input, the width and the direction shown.
    DoAlertDialog(const DoAlertChoice &alert, const DoAlertInputs &inputs, QWidget *parent = nullptr);
    ~DoAlertDialog() override;

    DoAlertChoice choice() const { return m_choice; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    enum class Field { High, Low, Width };

    void loadFields();

    void selectInput();
    void editValue(Field field);
    void refresh();
    int range() const;
    QLineEdit *edit(Field field) const;

    std::unique_ptr<Ui::DoAlertDialog> m_ui;
    DoAlertChoice m_choice;
    DoAlertInputs m_inputs;
    doalert::Outcome m_outcome;
    // The text each edit was last given by the dialog and the code it was written from:
    // while the edit holds that text, the field has that code.
    std::array<QString, 3> m_shown;
    std::array<int, 3> m_shownCodes{};
};

} // namespace qn
