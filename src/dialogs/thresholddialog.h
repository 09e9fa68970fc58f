#pragma once
// "LED点灯閾値設定(生値)": edits a channel's low and high LED thresholds, in the
// channel's measured unit, and whether the LED lights outside (1) or inside (0) the band.
// The owner sets low, high and ledOutside, runs the dialog (runDialog) and reads them
// back after OK; a value whose text the operator left as shown comes back unrounded.
// The dialog does not check low < high: the owner's conversion to
// threshold codes clamps. GUI thread only.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui { class ThresholdDialog; }

namespace qn {

class ThresholdDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ThresholdDialog(QWidget *parent = nullptr);
    ~ThresholdDialog() override;

    int ledOutside = 0; // 1 = the check box "範囲外にあるときにLED点灯" is ticked
    double high = 0.0;
    double low = 0.0;

    void loadFields();
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::ThresholdDialog> m_ui;
    QString m_shownLow;
    QString m_shownHigh;
};

} // namespace qn
