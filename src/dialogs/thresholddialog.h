#pragma once
// "LED点灯閾値設定(生値)": edits a channel's low and high LED thresholds, in the
// channel's measured unit, and whether the LED lights outside (1) or inside (0) the band.
// The owner opens it with the thresholds it shows, runs it (runDialog) and takes
// thresholds() after OK; a value whose text the operator left as shown comes back
// unrounded. After Escape or the close box thresholds() is what it opened with.
// The dialog does not check low < high: the owner's conversion to
// threshold codes clamps. GUI thread only.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui { class ThresholdDialog; }

namespace qn {

// The band of a channel's LED in its measured unit.
struct LedThresholds {
    double low = 0.0;
    double high = 0.0;
    bool ledOutside = false; // the check box "範囲外にあるときにLED点灯" is ticked
};

class ThresholdDialog final : public QDialog {
    Q_OBJECT
public:
    explicit ThresholdDialog(const LedThresholds &shown = {}, QWidget *parent = nullptr);
    ~ThresholdDialog() override;

    LedThresholds thresholds() const { return m_value; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadFields();

    std::unique_ptr<Ui::ThresholdDialog> m_ui;
    LedThresholds m_value;
    QString m_shownLow;
    QString m_shownHigh;
};

} // namespace qn
