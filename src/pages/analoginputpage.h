#pragma once
// What the control pages of the analog-input units (QN-210, QN-220) share: two digital
// outputs DO1, DO2 and three analog inputs AI1-AI3. Reads the unit's settings at start-up,
// reads the inputs on demand or every N x 100 ms, toggles the outputs by button or
// periodically, changes input ranges, logs automatic readings to CSV and feeds the trend
// graph. The model pages on top add their own controls and start-up steps.
//
// Threads: GUI thread only (completions arrive there through the page's dispatcher).
#include "model/inputrange.h"
#include "pages/channelscaling.h"
#include "pages/devicepage.h"
#include "settings/unitsettings.h"

#include <array>
#include <memory>

namespace Ui {
class AnalogInputPage;
}
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace qn {

class AnalogInputPage : public DevicePage {
    Q_OBJECT
public:
    // Settings-store keys of this page's channels.
    static constexpr int kModelCode = 0;  // shared by the QN-210 and QN-220 pages
    static constexpr RecordKind kInputKind = RecordKind::Input;   // AI1-AI3
    static constexpr RecordKind kOutputKind = RecordKind::Output; // DO1, DO2
    static constexpr int kInputs = 3;
    static constexpr int kOutputs = 2;

    struct AiChannel {
        int raw = 0;                         // last code read (24 bits as sent)
        int range = ai::kInitialRange;       // as the unit reports it
        ChannelScaling scaling;              // converted = measured * factor + offset
        double converted = 0.0;
        bool ledOutside = false;             // LED lit outside [low, high] rather than inside
        int highThreshold = 0;               // 16-bit threshold codes
        int lowThreshold = 0;
        int thresholdMode = 0;               // sent back unchanged
        bool hasReading = false;             // the measured text is showing a value
        bool rangeKnown = false;             // the unit has reported its range
    };

    ~AnalogInputPage() override;

    // State (read by the settings dialogs and tests).
    const AiChannel &aiChannel(int channel) const { return m_ai.at(size_t(channel)); }
    AiChannel &aiChannel(int channel) { return m_ai.at(size_t(channel)); }
    int doState(int output) const { return m_doState.at(size_t(output)); }
    int adcRate() const { return m_adcRate; }
    bool aiAuto() const { return m_aiAuto.isOn(); }
    bool doAuto(int output) const { return m_doAuto.at(size_t(output)).isOn(); }
    // Text of a signal-name label: kind 0 = AI (channel 0-2), 1 = DO (channel 0-1).
    QString signalName(RecordKind kind, int channel) const;
    QString measuredText(int channel) const;
    QString convertedText(int channel) const;
    Ui::AnalogInputPage &ui() { return *m_ui; }

    // The four settings buttons (formula, signal name, ADC rate, threshold). Their bodies
    // live in analoginputpage_settings.cpp, next to the dialogs they open.
    void onFormulaButton(int channel);
    void onSignalNameButton(RecordKind kind, int channel);
    void onAdcRateButton();
    void onThresholdButton(int channel);

    // GraphPageHost: the graph page's Scale button n is the formula button n.
    void openFormulaDialog(int channel) override { onFormulaButton(channel); }

    // What those buttons do once their dialog says OK.
    // New name: label, settings file, a new log header, legend and series name.
    void applySignalName(RecordKind kind, int channel, const QString &name);
    // New formula and graph range (an invalid range tells the operator and takes the
    // range's default), saved and shown; refreshing the graph is the caller's.
    void applyConversion(int channel, const Formula &formula);
    // SetADCThreshold with the values in V / mA / °C (range 0 in V); stored on success.
    void postThreshold(int channel, bool ledOutside, double lowValue, double highValue);
    // SetADCThreshold with 16-bit codes; stored and the bar recoloured on success.
    void postThresholdCodes(int channel, bool ledOutside, int lowCode, int highCode);
    // SetADCsps; the code is stored when the unit confirms it.
    void postAdcRate(int code);

    // Buttons and check boxes, callable from tests as the operator would click them.
    void readInputs();                  // "入力"
    void toggleOutput(int output);      // "ON/OFF"
    void setAiAuto(bool on);            // "自動" of the inputs
    void setDoAuto(int output, bool on);
    void changeRange(int channel, int range); // a selection in the range combo

protected:
    AnalogInputPage(QWidget *parent, Model model, DevicePageArgs args);

    void initialisePage() override;
    void tick() override;
    void readUnitState() override { postStartup(); }
    // GetDO, then settingSteps(), then modelReads().
    std::vector<ReadStep> unitStateReads() override;
    void changeEvent(QEvent *event) override;

    // Hooks of the model pages.
    // Posts the start-up requests; this one runs unitStateReads() as one chain.
    virtual void postStartup();
    // The model's own reads of what another client may change, after the shared ones.
    virtual std::vector<ReadStep> modelReads() { return {}; }
    // Called whenever a channel's range has been reported or changed.
    virtual void rangeApplied(int channel) { (void)channel; }

    // GetADCsps, GetAIRange x 3 and GetADCThreshold x 3, as chain steps.
    std::vector<ReadStep> settingSteps();
    // GetDO read as a step of the unit's state.
    ReadStep outputsRead();
    // Every automatic mode off (after a failed reading or output write).
    void switchAutomaticModesOff();
    AutoMode &doAutoMode(int output) { return m_doAuto.at(size_t(output)); }
    void storeDoPattern(int pattern);
    void storeThreshold(int channel, int outside, int low, int high);

    // Completions of the page's requests (through completion(), so never once closing).
    void onGetDO(const Result<DigitalOutputs> &result, const StepDone &done);
    void onGetADCsps(const Result<AdcRate> &result, const StepDone &done);
    void onGetAIRange(const Result<InputRange> &result, const StepDone &done);
    void onGetADCThreshold(const Result<Threshold> &result, const StepDone &done);
    void onGetAllAI(const Result<AnalogInputs> &result);
    void onSetDO(const Result<DigitalOutputs> &result);
    void onSetAIRange(int channel, const Result<InputRange> &result);
    void onSetADCThreshold(const Result<Threshold> &result);
    void onSetADCsps(const Result<AdcRate> &result);

private:
    void postSetDO(int pattern);
    void showLamps();
    void applyRangeToBar(int channel);
    void updateBarColour(int channel);
    void updateConvertedText(int channel);
    void fitConvertedFont(int channel);
    void showReading(int channel, int raw);
    void showChannel(int channel);
    void clearReading(int channel);
    void showEvent(QShowEvent *event) override;
    void setRangeCombo(int channel, int range);
    // The channel with its scaling, as the input range or output mode has it now.
    ScaledChannel scaled(int channel);
    // The channels' names (from the settings) and formulas, as a log row takes them.
    unit::ChannelSetups channelSetups() const;

    std::unique_ptr<Ui::AnalogInputPage> m_ui;
    std::array<QLabel *, kOutputs> m_doNames{};
    std::array<QLabel *, kOutputs> m_lamps{};
    std::array<QPushButton *, kOutputs> m_doButtons{};
    std::array<QLabel *, kInputs> m_aiNames{};
    std::array<QComboBox *, kInputs> m_rangeCombos{};
    std::array<QLabel *, kInputs> m_measured{};
    std::array<QLabel *, kInputs> m_convertedLabels{};
    std::array<QProgressBar *, kInputs> m_bars{};

    std::array<AiChannel, kInputs> m_ai{};
    std::array<int, kOutputs> m_doState{};
    int m_adcRate = 0;
    AutoMode m_aiAuto;
    std::array<AutoMode, kOutputs> m_doAuto;
    static constexpr int kValuePointSize = 16;
    std::array<QString, kInputs> m_fittedUnit{}; // unit text the converted label's font fits
    std::array<int, kInputs> m_barColourLit{-1, -1, -1}; // colour last set: -1 none, 0 blue, 1 red
    bool m_settingCombo = false;
    bool m_displaysBehind = false; // readings came in while the page was out of sight
    int m_aiReadsPending = 0;   // GetAllAI posted, completion not yet run
    int m_doWritesPending = 0;  // SetDO likewise
    std::array<int, kInputs> m_rangeWritesPending{}; // SetAIRange likewise, per channel
};

} // namespace qn
