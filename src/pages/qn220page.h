#pragma once
// The control page of a QN-220 unit: the analog-input page plus the thermocouple range
// ("熱電対") with its settings on each input, and a DO alert on each output (the unit
// drives the output itself from an input's LED thresholds).
//
// Threads: GUI thread only.
#include "pages/analoginputpage.h"

class QCheckBox;
class QPushButton;

namespace qn {

class Qn220Page final : public AnalogInputPage {
    Q_OBJECT
public:
    struct Thermocouple {
        int type = 0;  // 0 K, 1 J, 2 T, 3 E, 4 N, 5 R, 6 S, 7 B
        int flags = 0; // bit 0 cold-junction compensation, bit 1 burn-out detection,
                       // bit 2 reads highest (1) or lowest (0) on a burn-out
    };
    struct DoAlert {
        bool enabled = false;   // the unit drives the output from the alert
        int monitoredInput = 0; // AI1..AI3 as 0..2
        int hysteresis = 0;     // 16-bit code, in the monitored input's raw code / 256
        int direction = 0;      // 0 "消灯閾値優先", 1 "点灯閾値優先"
    };

    Qn220Page(QWidget *parent, DevicePageArgs args);
    ~Qn220Page() override;

    const Thermocouple &thermocouple(int channel) const { return m_thermocouple.at(size_t(channel)); }
    const DoAlert &doAlert(int output) const { return m_alert.at(size_t(output)); }
    QPushButton *thermocoupleButton(int channel) const { return m_tcButtons.at(size_t(channel)); }
    QCheckBox *doAlertCheck(int output) const { return m_alertChecks.at(size_t(output)); }
    QPushButton *doAlertButton(int output) const { return m_alertButtons.at(size_t(output)); }

    // "熱電対設定": the thermocouple dialog, then SetTCSetting after OK.
    void onThermocoupleButton(int channel);
    void postThermocouple(int channel, int type, int flags);
    // "DOアラート" ticked or cleared (by any means): the output's own controls are locked
    // while the unit drives it, then SetDOAlertEnable and a fresh GetDO.
    void setDoAlertEnabled(int output, bool on);
    // "設定" of a DO alert: the DO alert dialog (qn220page_doalert.cpp).
    void openDoAlertDialog(int output);
    // What that dialog's OK sends, in this order: SetDOAlert for the output, then
    // SetADCThreshold for the monitored input (its LED thresholds are the alert's).
    void postDoAlert(int output, const DoAlert &alert, bool ledOutside, int lowCode, int highCode);

protected:
    void postStartup() override;
    // GetTCSetting x 3 and GetDOAlert x 2.
    std::vector<ReadStep> modelReads() override;
    void rangeApplied(int channel) override;

private:
    void addControls();
    void showAlertState(int output);

    void onStartupDO(const Result<DigitalOutputs> &result);
    void onRefreshDO(const Result<DigitalOutputs> &result);
    void onGetTCSetting(const Result<ThermocoupleSetting> &result, const StepDone &done);
    void onSetTCSetting(const Result<ThermocoupleSetting> &result);
    void onGetDOAlert(const Result<DOAlertState> &result, const StepDone &done);
    void onSetDOAlert(const Result<DOAlertSetting> &result);
    void onSetDOAlertEnable(int output, const Result<DOAlertSwitch> &result);

    std::array<Thermocouple, kInputs> m_thermocouple{};
    std::array<DoAlert, kOutputs> m_alert{};
    std::array<QPushButton *, kInputs> m_tcButtons{};
    std::array<QCheckBox *, kOutputs> m_alertChecks{};
    std::array<QPushButton *, kOutputs> m_alertButtons{};
    std::array<int, kOutputs> m_alertSwitchesPending{}; // SetDOAlertEnable posted, not yet answered
};

} // namespace qn
