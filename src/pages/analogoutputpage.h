#pragma once
// What the QN-110 and QN-120 pages are: N analog outputs, each set in a converted unit
// through its formula, switched on and off, swept up and down, in voltage or current
// mode; and M digital inputs read on demand or every N x 100 ms, logged and plotted.
// The model pages only bring their forms; each output's controls are one
// OutputChannelRow made here per channel, so both share every line of logic.
//
// Threads: GUI thread only (completions arrive there through the page's dispatcher).
#include "model/sweep.h"
#include "pages/channelscaling.h"
#include "pages/devicepage.h"
#include "pages/outputchannelrow.h"
#include "settings/unitsettings.h"

#include <cstdint>
#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qn {

class AnalogOutputPage : public DevicePage {
    Q_OBJECT
public:
    // Settings-store kinds of the page's channels.
    static constexpr RecordKind kInputKind = RecordKind::Input;   // DI
    static constexpr RecordKind kOutputKind = RecordKind::Output; // AO

    static QString updateText() { return tr("更新"); }
    static QString onOffText() { return QStringLiteral("ON/OFF"); }

    // 0: off; 1: on, with an edited value not yet sent ("更新"); 2: on; 3: sweeping.
    enum class ControlState { Off = 0, Edited = 1, On = 2, Sweeping = 3 };

    struct AoChannel {
        int mode = 0;             // 0 voltage, 1 current (as the unit reports it)
        int raw = 0;              // last output code, sign-extended from 16 bits
        int confirmedRaw = 0;     // the last output code the unit reported or acknowledged
        bool outputOn = false;
        ControlState state = ControlState::Off;
        bool sweeping = false;
        SweepSettings sweep;
        std::uint64_t sweepStart = 0; // ms on the sweep clock
        ChannelScaling scaling;       // converted = physical * factor + offset
        double value = 0.0;           // converted output value as last set
        bool ledOutside = false;
        int thresholdHigh = 0;        // 16-bit threshold codes
        int thresholdLow = 0;
        int thresholdMode = 0;        // sent back unchanged
        int writesPending = 0;        // SetAO posted, not yet answered
        bool known = false;           // the unit's output has been read at least once
        bool stoppedByFailure = false; // its sweep stopped on a failure while a step was on its way
    };

    ~AnalogOutputPage() override;

    int outputs() const { return int(m_ao.size()); }
    int inputs() const { return int(m_diState.size()); }
    const AoChannel &aoChannel(int channel) const { return m_ao.at(size_t(channel)); }
    bool diState(int input) const { return m_diState.at(size_t(input)); }
    bool diAuto() const { return m_diAuto.isOn(); }
    QString signalName(RecordKind kind, int channel) const;
    QString valueEditText(int channel) const;
    QString displayText(int channel) const;
    // The clock of the sweeps (ms, monotonic); tests drive their own.
    void setSweepClock(std::function<std::uint64_t()> clock) { m_clock = std::move(clock); }

    // Buttons as the operator clicks them (also what the tests press).
    void toggleOutput(int channel);      // "ON/OFF" or "更新"
    void toggleSweep(int channel);       // "SWEEP"
    void readInputs();                   // "入力"
    void onSweepSettingsButton(int channel);
    void onFormulaButton(int channel);
    void onThresholdButton(int channel);
    void onRangeButton(int channel);
    void onSignalNameButton(RecordKind kind, int channel);

    // GraphPageHost: the graph page's Scale button n is the formula button n.
    void openFormulaDialog(int channel) override { onFormulaButton(channel); }

protected:
    AnalogOutputPage(QWidget *parent, Model model, DevicePageArgs args);
    // Makes a row of controls per output in the form's output grid, finds the inputs'
    // controls and connects them all; the model page calls it right after its setupUi.
    // retranslateForm renews the form's texts (its retranslateUi) on a change of language.
    void bindControls(std::function<void(QWidget *)> retranslateForm);

    void initialisePage() override;
    void tick() override;
    void readUnitState() override;
    // GetAO and then GetADCThreshold of each output.
    std::vector<ReadStep> unitStateReads() override;
    void changeEvent(QEvent *event) override;

private:
    // GetDI tags: 1 for the start-up reading (lamps only), 0 for every other.
    static constexpr int kStartupRead = 1;
    static constexpr int kReading = 0;

    std::function<void(QWidget *)> m_retranslateForm;
    struct DiControls {
        QLabel *name, *lamp;
        QPushButton *nameButton;
    };

    // Completions (through completion(), so never once closing).
    void onGetAO(const Result<AnalogOutput> &result, const StepDone &done);
    void onGetADCThreshold(const Result<Threshold> &result, const StepDone &done);
    void onSetValue(int channel, const Result<AnalogOutput> &result);
    void onSwitchOff(int channel, const Result<AnalogOutput> &result);
    void outputFailed(int channel);
    // A step that was on its way when its sweep stopped on a failure has come back: the
    // channel shows what the unit confirmed, in control state 0.
    void settleStoppedSweep(int channel);
    void outputConfirmed(int channel);
    // Edit, lamp, display, bar, buttons and the graph's value from the confirmed output.
    void showConfirmed(int channel);
    void onSetADCThreshold(const Result<Threshold> &result);
    void onGetDI(const Result<DigitalInputs> &result);

    void sendValue(int channel);
    void switchOff(int channel);
    void runSweepStep(int channel);
    void onValueEdited(int channel);
    void setControlState(int channel, ControlState state);
    void stopSweepsAfterFailure();
    void showOutput(int channel);
    void updateBar(int channel);
    void showLamp(QLabel *lamp, bool on);
    void applyConversion(int channel, const Formula &formula);
    void applySignalName(RecordKind kind, int channel, const QString &name);
    // The channel with its scaling, as the input range or output mode has it now.
    ScaledChannel scaled(int channel);
    QString legend(RecordKind kind, int channel, const QString &name) const;
    int seriesOf(RecordKind kind, int channel) const;
    // The channels' names (from the settings) and formulas, as a log row takes them.
    unit::ChannelSetups channelSetups() const;
    bool validChannel(int channel) const { return channel >= 0 && channel < outputs(); }

    const ModelTraits &m_traits;
    std::vector<OutputChannelRow> m_aoControls;
    std::vector<DiControls> m_diControls;
    QPushButton *m_readButton = nullptr;
    QCheckBox *m_diAutoCheck = nullptr;
    QLineEdit *m_diPeriodEdit = nullptr;
    QLabel *m_infoLabel = nullptr;

    std::vector<AoChannel> m_ao;
    std::vector<bool> m_diState;
    AutoMode m_diAuto;
    int m_diReadsPending = 0;
    std::function<std::uint64_t()> m_clock = monotonicMs;
};

} // namespace qn
