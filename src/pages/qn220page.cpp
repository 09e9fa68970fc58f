#include "pages/qn220page.h"

#include "dialogs/thermocoupledialog.h"
#include "ui/language.h"

#include "ui_analoginputpage.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPushButton>
#include <QSignalBlocker>

#include <algorithm>

namespace qn {

Qn220Page::Qn220Page(QWidget *parent, DevicePageArgs args) : AnalogInputPage(parent, Model::QN220, std::move(args))
{
    addControls();
}

Qn220Page::~Qn220Page() = default;

void Qn220Page::addControls()
{
    Ui::AnalogInputPage &form = ui();
    // The outputs' row grows by the alert's box and button; the spacer stays last.
    form.outputLayout->removeItem(form.outputSpacer);
    const std::array<QWidget *, kOutputs> periodEdits{form.doPeriodEdit1, form.doPeriodEdit2};
    for (int o = 0; o < kOutputs; ++o) {
        const QString output = QStringLiteral("DO%1 ").arg(o + 1);
        auto *check = new QCheckBox(this);
        check->setObjectName(QStringLiteral("doAlertCheck%1").arg(o + 1));
        keepTranslated(check, [check, output] {
            check->setText(tr("DOアラート"));
            check->setAccessibleName(output + tr("DOアラート"));
        });
        auto *button = new QPushButton(this);
        button->setObjectName(QStringLiteral("doAlertButton%1").arg(o + 1));
        keepTranslated(button, [button, output] {
            button->setText(tr("設定"));
            button->setAccessibleName(output + tr("DOアラート 設定"));
        });
        button->setAutoDefault(false);
        form.outputLayout->addWidget(check, o, 7);
        form.outputLayout->addWidget(button, o, 8);
        setTabOrder(periodEdits[o], check);
        setTabOrder(check, button);
        m_alertChecks[o] = check;
        m_alertButtons[o] = button;
        // toggled: keyboard, assistive tools and the program act as a click does.
        connect(check, &QCheckBox::toggled, this, [this, o](bool on) { setDoAlertEnabled(o, on); });
        connect(button, &QPushButton::clicked, this, [this, o] { openDoAlertDialog(o); });
    }
    form.outputLayout->addItem(form.outputSpacer, 0, 9);

    const std::array<QWidget *, kInputs> rangeCombos{form.rangeCombo1, form.rangeCombo2, form.rangeCombo3};
    for (int c = 0; c < kInputs; ++c) {
        auto *button = new QPushButton(this);
        button->setObjectName(QStringLiteral("thermocoupleButton%1").arg(c + 1));
        keepTranslated(button, [button, c] {
            button->setText(tr("熱電対設定"));
            button->setAccessibleName(tr("AI%1 熱電対設定").arg(c + 1));
        });
        button->setAutoDefault(false);
        // Only a channel the unit reports on the thermocouple range has these settings.
        button->setEnabled(false);
        // Beneath the range it belongs to, in the bar's row, so the page keeps its width.
        form.inputLayout->addWidget(button, 3 + 2 * c, 2);
        setTabOrder(rangeCombos[c], button);
        m_tcButtons[c] = button;
        connect(button, &QPushButton::clicked, this, [this, c] { onThermocoupleButton(c); });
    }
}

// ---- start-up ----------------------------------------------------------------------

void Qn220Page::postStartup()
{
    // The outputs are read on their own; the settings chain goes on to the thermocouple
    // settings and the DO alerts.
    session()->getDO(completion([this](const auto &r) { onStartupDO(r); }));
    std::vector<ReadStep> steps = settingSteps();
    for (ReadStep &step : modelReads())
        steps.push_back(std::move(step));
    runChain(std::move(steps));
}

std::vector<DevicePage::ReadStep> Qn220Page::modelReads()
{
    std::vector<ReadStep> steps;
    for (int c = 0; c < kInputs; ++c)
        steps.push_back([this, c](const StepDone &done) {
            session()->getTCSetting(c, completion([this, done](const auto &r) { onGetTCSetting(r, done); }));
        });
    for (int o = 0; o < kOutputs; ++o)
        steps.push_back([this, o](const StepDone &done) {
            session()->getDOAlert(o, completion([this, done](const auto &r) { onGetDOAlert(r, done); }));
        });
    return steps;
}

void Qn220Page::onStartupDO(const Result<DigitalOutputs> &result)
{
    if (!result) {
        // As a failed SetDO: the outputs' state is unknown, so nothing toggles them blind.
        switchAutomaticModesOff();
        showTimeoutMessage();
        return;
    }
    storeDoPattern(result->pattern);
}

void Qn220Page::onGetTCSetting(const Result<ThermocoupleSetting> &result, const StepDone &done)
{
    if (!result || result->channel < 0 || result->channel >= kInputs) {
        done(false);
        return;
    }
    m_thermocouple[result->channel] = {result->type, result->options};
    done(true);
}

void Qn220Page::onGetDOAlert(const Result<DOAlertState> &result, const StepDone &done)
{
    if (!result || result->channel < 0 || result->channel >= kOutputs) {
        done(false);
        return;
    }
    const int output = result->channel;
    // The operator's switch on its way is newer than this read.
    if (m_alertSwitchesPending[output] > 0) {
        done(true);
        return;
    }
    m_alert[output] = {result->enabled != 0, result->monitoredInput, result->hysteresis, result->direction};
    {
        QSignalBlocker block(m_alertChecks[output]);
        m_alertChecks[output]->setChecked(result->enabled != 0);
    }
    showAlertState(output);
    done(true);
}

void Qn220Page::rangeApplied(int channel)
{
    m_tcButtons[channel]->setEnabled(aiChannel(channel).range == ai::kThermocoupleRange);
}

// ---- thermocouple ------------------------------------------------------------------

void Qn220Page::onThermocoupleButton(int channel)
{
    if (channel < 0 || channel >= kInputs || isClosing())
        return;
    const Thermocouple &now = m_thermocouple[channel];
    ThermocoupleDialog dlg(
        {now.type, now.flags & (ThermocoupleDialog::ColdJunctionFlag | ThermocoupleDialog::BurnoutDetectionFlag),
         (now.flags >> 2) & 1},
        this);
    if (!runSettingsDialog(dlg))
        return;
    const ThermocoupleChoice chosen = dlg.choice();
    // A list left without a choice keeps what the unit has.
    const int type = chosen.type >= 0 ? chosen.type : now.type;
    const int burnoutOutput = chosen.burnoutOutput >= 0 ? chosen.burnoutOutput : (now.flags >> 2) & 1;
    postThermocouple(channel, type, burnoutOutput * 4 + chosen.flags);
}

void Qn220Page::postThermocouple(int channel, int type, int flags)
{
    session()->setTCSetting(channel, type, flags, completion([this](const auto &r) { onSetTCSetting(r); }));
}

void Qn220Page::onSetTCSetting(const Result<ThermocoupleSetting> &result)
{
    if (!result || result->channel < 0 || result->channel >= kInputs) {
        showTimeoutMessage();
        return;
    }
    m_thermocouple[result->channel] = {result->type, result->options};
}

// ---- DO alerts ---------------------------------------------------------------------

void Qn220Page::showAlertState(int output)
{
    // While the unit drives the output, "ON/OFF", "自動" and the period are not the
    // operator's; an automatic toggling already running goes on.
    doAutoMode(output).setBlocked(m_alertChecks[output]->isChecked());
}

void Qn220Page::setDoAlertEnabled(int output, bool on)
{
    if (output < 0 || output >= kOutputs || isClosing())
        return;
    {
        QSignalBlocker block(m_alertChecks[output]);
        m_alertChecks[output]->setChecked(on);
    }
    showAlertState(output);
    if (session()->setDOAlertEnable(output, on ? 1 : 0,
                                    completion([this, output](const auto &r) { onSetDOAlertEnable(output, r); })))
        ++m_alertSwitchesPending[output];
}

void Qn220Page::onSetDOAlertEnable(int output, const Result<DOAlertSwitch> &result)
{
    m_alertSwitchesPending[output] = std::max(m_alertSwitchesPending[output] - 1, 0);
    // A failure leaves the box and the controls as the operator set them.
    if (!result || result->channel < 0 || result->channel >= kOutputs) {
        showTimeoutMessage();
        return;
    }
    m_alert[result->channel].enabled = result->on != 0;
    session()->getDO(completion([this](const auto &r) { onRefreshDO(r); }));
}

void Qn220Page::onRefreshDO(const Result<DigitalOutputs> &result)
{
    if (!result) {
        showTimeoutMessage();
        return;
    }
    storeDoPattern(result->pattern);
}

void Qn220Page::postDoAlert(int output, const DoAlert &alert, bool ledOutside, int lowCode, int highCode)
{
    if (output < 0 || output >= kOutputs || alert.monitoredInput < 0 || alert.monitoredInput >= kInputs)
        return;
    session()->setDOAlert(output, alert.monitoredInput, alert.hysteresis, alert.direction,
                          completion([this](const auto &r) { onSetDOAlert(r); }));
    postThresholdCodes(alert.monitoredInput, ledOutside, lowCode, highCode);
}

void Qn220Page::onSetDOAlert(const Result<DOAlertSetting> &result)
{
    if (!result || result->channel < 0 || result->channel >= kOutputs) {
        showTimeoutMessage();
        return;
    }
    DoAlert &alert = m_alert[result->channel];
    alert.monitoredInput = result->monitoredInput;
    alert.hysteresis = result->hysteresis;
    alert.direction = result->direction;
}

} // namespace qn
