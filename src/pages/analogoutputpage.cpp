#include "pages/analogoutputpage.h"

#include "dialogs/formuladialog.h"
#include "dialogs/outputrangedialog.h"
#include "dialogs/thresholddialog.h"
#include "graph/graphtab.h"
#include "pages/pagecolours.h"
#include "graph/trendcanvas.h"
#include "ui/showntext.h"
#include "model/outputmode.h"
#include "settings/unitsettings.h"
#include "ui/accessibility.h"
#include "ui/elidedtext.h"
#include "ui/fonts.h"

#include <QEvent>
#include <QCheckBox>
#include <QFontInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalBlocker>

namespace qn {

namespace {

constexpr int kDisplayPointSize = 16;

QString fromStd(const std::string &text) { return QString::fromStdString(text); }

template <typename T>
T *child(QWidget *page, const char *name, int number)
{
    T *w = page->findChild<T *>(QString::fromLatin1(name) + QString::number(number));
    Q_ASSERT_X(w, "AnalogOutputPage", name);
    return w;
}

} // namespace

AnalogOutputPage::AnalogOutputPage(QWidget *parent, Model model, DevicePageArgs args)
    : DevicePage(parent, model, std::move(args)), m_traits(traits(model)),
      m_ao(size_t(m_traits.analogOutputs)), m_diState(size_t(m_traits.digitalInputs))
{
}

AnalogOutputPage::~AnalogOutputPage() = default;

void AnalogOutputPage::bindControls(std::function<void(QWidget *)> retranslateForm)
{
    m_retranslateForm = std::move(retranslateForm);
    auto *outputGrid = findChild<QGridLayout *>(QStringLiteral("outputLayout"));
    Q_ASSERT(outputGrid);
    m_aoControls.reserve(size_t(outputs()));
    for (int n = 1; n <= outputs(); ++n) {
        const OutputChannelRow &c = m_aoControls.emplace_back(this, *outputGrid, 2 * n - 1, n);
        for (QLabel *display : {c.name, c.lamp, c.unit, c.display})
            exposeAsValueDisplay(display);
        for (QWidget *display : std::initializer_list<QWidget *>{c.lamp, c.display, c.bar})
            markAsUnitValue(display);
        // Stays down while the channel sweeps.
        c.sweepButton->setCheckable(true);
        const int ch = n - 1;
        connect(c.nameButton, &QPushButton::clicked, this, [this, ch] { onSignalNameButton(kOutputKind, ch); });
        connect(c.toggleButton, &QPushButton::clicked, this, [this, ch] { toggleOutput(ch); });
        connect(c.valueEdit, &QLineEdit::textChanged, this, [this, ch] { onValueEdited(ch); });
        connect(c.sweepSettingsButton, &QPushButton::clicked, this, [this, ch] { onSweepSettingsButton(ch); });
        connect(c.sweepButton, &QPushButton::clicked, this, [this, ch] { toggleSweep(ch); });
        connect(c.formulaButton, &QPushButton::clicked, this, [this, ch] { onFormulaButton(ch); });
        connect(c.thresholdButton, &QPushButton::clicked, this, [this, ch] { onThresholdButton(ch); });
        connect(c.rangeButton, &QPushButton::clicked, this, [this, ch] { onRangeButton(ch); });
    }
    for (int m = 1; m <= inputs(); ++m) {
        DiControls c{child<QLabel>(this, "diName", m), child<QLabel>(this, "diLamp", m),
                     child<QPushButton>(this, "diNameButton", m)};
        m_diControls.push_back(c);
        exposeAsValueDisplay(c.name);
        exposeAsValueDisplay(c.lamp);
        markAsUnitValue(c.lamp);
        connect(c.nameButton, &QPushButton::clicked, this, [this, m] { onSignalNameButton(kInputKind, m - 1); });
    }
    m_readButton = findChild<QPushButton *>(QStringLiteral("readButton"));
    m_diAutoCheck = findChild<QCheckBox *>(QStringLiteral("diAutoCheck"));
    m_diPeriodEdit = findChild<QLineEdit *>(QStringLiteral("diPeriodEdit"));
    m_infoLabel = findChild<QLabel *>(QStringLiteral("infoLabel"));
    connect(m_readButton, &QPushButton::clicked, this, &AnalogOutputPage::readInputs);
    attachAutoMode(m_diAuto, m_diAutoCheck, m_diPeriodEdit, m_readButton);

    // The outputs' rows are made after the form: put them back ahead of the inputs.
    std::vector<QWidget *> order;
    for (const OutputChannelRow &c : m_aoControls)
        order.insert(order.end(), {c.nameButton, c.valueEdit, c.toggleButton, c.formulaButton, c.thresholdButton,
                                   c.rangeButton, c.sweepSettingsButton, c.sweepButton});
    order.insert(order.end(), {m_readButton, m_diAutoCheck, m_diPeriodEdit});
    for (const DiControls &c : m_diControls)
        order.push_back(c.nameButton);
    for (size_t i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order[i], order[i + 1]);
}

void AnalogOutputPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange && m_retranslateForm) {
        m_retranslateForm(this);
        m_infoLabel->setText(shownMacText(args().macText));
        for (int c = 0; c < int(m_aoControls.size()) && c < int(m_ao.size()); ++c) {
            setControlState(c, m_ao[c].state);
            updateBar(c);
        }
    }
    DevicePage::changeEvent(event);
}

// ---- start-up ----------------------------------------------------------------------

void AnalogOutputPage::initialisePage()
{
    const QFont displayFont = labelFont(kDisplayPointSize);
    for (const OutputChannelRow &c : m_aoControls) {
        c.display->setFont(displayFont);
        c.display->setMinimumWidth(QFontMetrics(displayFont).horizontalAdvance(QStringLiteral("-10.0000 mA")) + 12);
        attachNumberFilter(c.valueEdit, NumberChars::Decimal);
    }
    m_infoLabel->setFont(fixedCjkFont(QFontInfo(m_infoLabel->font()).pixelSize()));
    m_infoLabel->setText(shownMacText(args().macText));

    setUpGraph();
    m_diPeriodEdit->setText(QStringLiteral("10"));
    attachDigitsFilter(m_diPeriodEdit, 6);

    UnitSettingsStore &store = unitSettings();
    for (RecordKind kind : {kOutputKind, kInputKind}) {
        const int channels = kind == kOutputKind ? outputs() : inputs();
        for (int c = 0; c < channels; ++c) {
            const QString name = store.getSignalName(m_traits.settingsCode, unitId(), kind, c);
            setElidedText(kind == kOutputKind ? m_aoControls[c].name : m_diControls[c].name, name);
            setSeriesLegend(seriesOf(kind, c), legend(kind, c, name));
        }
    }
    for (int c = 0; c < outputs(); ++c) {
        AoChannel &ch = m_ao[c];
        setDisplayText(m_aoControls[c].display, {});
        scaled(c).load();
        ch.sweeping = false;
        ch.sweep = SweepSettings{};
        ch.sweepStart = 0;
        setDisplayText(m_aoControls[c].unit, ch.scaling.unit);
        showLamp(m_aoControls[c].lamp, false);
        updateBar(c);
    }
    for (const DiControls &c : m_diControls)
        showLamp(c.lamp, false);
    readUnitState();
}

// ---- the tick ----------------------------------------------------------------------

void AnalogOutputPage::tick()
{
    for (int c = 0; c < outputs(); ++c) {
        if (m_ao[c].sweeping)
            runSweepStep(c);
    }
    // A unit slower than the period would otherwise pile up readings without end.
    if (m_diAuto.advance() && m_diReadsPending == 0)
        readInputs();
}

// ---- outputs -----------------------------------------------------------------------

void AnalogOutputPage::toggleOutput(int channel)
{
    if (!validChannel(channel) || isClosing())
        return;
    if (m_ao[channel].outputOn && m_ao[channel].state != ControlState::Edited) {
        switchOff(channel);
        return;
    }
    sendValue(channel);
    setControlState(channel, ControlState::On);
}

void AnalogOutputPage::sendValue(int channel)
{
    AoChannel &ch = m_ao[channel];
    ch.outputOn = true;
    ch.stoppedByFailure = false;
    ch.value = parseLenient(m_aoControls[channel].valueEdit->text());
    ch.raw = ao::rawFromPhysical(ch.mode, ao::physicalFromConverted(ch.value, ch.scaling.factor, ch.scaling.offset));
    showOutput(channel);
    if (session()->setAO(channel, ch.mode, ch.raw,
                         completion([this, channel](const auto &r) { onSetValue(channel, r); })))
        ++ch.writesPending;
}

void AnalogOutputPage::switchOff(int channel)
{
    AoChannel &ch = m_ao[channel];
    ch.value = 0.0;
    ch.outputOn = false;
    ch.stoppedByFailure = false;
    ch.raw = 0;
    showOutput(channel);
    if (session()->setAO(channel, ch.mode, 0, completion([this, channel](const auto &r) { onSwitchOff(channel, r); })))
        ++ch.writesPending;
    setControlState(channel, ControlState::Off);
}

void AnalogOutputPage::onSetValue(int channel, const Result<AnalogOutput> &result)
{
    AoChannel &ch = m_ao[channel];
    ch.writesPending = std::max(ch.writesPending - 1, 0);
    if (result) {
        ch.confirmedRaw = ao::signExtend16(result->raw);
        outputConfirmed(channel);
        if (ch.stoppedByFailure && ch.writesPending == 0)
            settleStoppedSweep(channel);
        return;
    }
    outputFailed(channel);
}

void AnalogOutputPage::onSwitchOff(int channel, const Result<AnalogOutput> &result)
{
    AoChannel &ch = m_ao[channel];
    ch.writesPending = std::max(ch.writesPending - 1, 0);
    if (result) {
        ch.confirmedRaw = 0;
        outputConfirmed(channel);
        return;
    }
    outputFailed(channel);
}

void AnalogOutputPage::outputConfirmed(int channel)
{
    const OutputChannelRow &c = m_aoControls[channel];
    readingArrived({c.lamp, c.display, c.bar});
    graphValueArrived(seriesOf(kOutputKind, channel));
}

void AnalogOutputPage::outputFailed(int channel)
{
    // Lamp, buttons, display, edit and the graph's value all go back to what the unit
    // last confirmed, with every sweep stopped; the next reading after a reconnect shows
    // what the unit really holds.
    AoChannel &ch = m_ao[channel];
    if (ch.sweeping)
        stopSweepsAfterFailure();
    else if (ch.stoppedByFailure && ch.writesPending == 0)
        settleStoppedSweep(channel);
    else if (ch.writesPending == 0)
        showConfirmed(channel);
    showTimeoutMessage();
}

void AnalogOutputPage::settleStoppedSweep(int channel)
{
    m_ao[channel].stoppedByFailure = false;
    showConfirmed(channel);
    setControlState(channel, ControlState::Off);
}

void AnalogOutputPage::onValueEdited(int channel)
{
    const AoChannel &ch = m_ao[channel];
    if (!ch.sweeping && ch.outputOn)
        setControlState(channel, ControlState::Edited);
}

void AnalogOutputPage::setControlState(int channel, ControlState state)
{
    m_ao[channel].state = state;
    const OutputChannelRow &c = m_aoControls[channel];
    const bool sweeping = state == ControlState::Sweeping;
    const bool idle = state == ControlState::Off;
    c.valueEdit->setEnabled(!sweeping);
    const QString toggleText = state == ControlState::Edited ? updateText() : onOffText();
    c.toggleButton->setText(toggleText);
    // A screen reader announces the action the button now stands for, not the one it had.
    c.toggleButton->setAccessibleName(QStringLiteral("AO%1 %2").arg(channel + 1).arg(toggleText));
    c.toggleButton->setEnabled(!sweeping);
    c.formulaButton->setEnabled(idle);
    c.rangeButton->setEnabled(idle);
    c.sweepButton->setChecked(sweeping);
    if (graphTab())
        graphTab()->enableScaleButton(channel, idle);
}

void AnalogOutputPage::showOutput(int channel)
{
    const AoChannel &ch = m_ao[channel];
    setDisplayText(m_aoControls[channel].display,
                   fromStd(ao::displayText(ch.mode, ao::physicalFromRaw(ch.mode, ch.raw))));
    showLamp(m_aoControls[channel].lamp, ch.outputOn);
    updateBar(channel);
    // The graph's value beside the legend says the same as the page, also between
    // readings of the inputs (which is when the graph takes its samples).
    if (graphTab())
        graphTab()->setValueLabel(seriesOf(kOutputKind, channel), fromStd(ao::graphValueText(ch.value)));
}

void AnalogOutputPage::updateBar(int channel)
{
    const AoChannel &ch = m_ao[channel];
    QProgressBar *bar = m_aoControls[channel].bar;
    const ao::Bar b = ao::bar(ch.mode, ch.raw);
    bar->setRange(0, b.maximum);
    bar->setValue(b.position);
    const bool lit = ao::ledLit(ch.ledOutside, ch.raw, ch.thresholdLow, ch.thresholdHigh);
    paintLit(bar, QPalette::Highlight, lit ? kBarLit : kBarUnlit);
    bar->setAccessibleDescription(lit ? tr("閾値LED点灯") : QString());
}

void AnalogOutputPage::showLamp(QLabel *lamp, bool on)
{
    paintLit(lamp, QPalette::Window, on ? kLampOn : kLampOff);
    setAccessibleState(lamp, on ? QStringLiteral("ON") : QStringLiteral("OFF"));
}

// ---- digital inputs ----------------------------------------------------------------

void AnalogOutputPage::readInputs()
{
    if (session()->getDI(kReading, completion([this](const auto &r) { onGetDI(r); })))
        ++m_diReadsPending;
}

void AnalogOutputPage::onGetDI(const Result<DigitalInputs> &result)
{
    m_diReadsPending = std::max(m_diReadsPending - 1, 0);
    if (!result) {
        const bool sweeping = std::any_of(m_ao.begin(), m_ao.end(), [](const AoChannel &ch) { return ch.sweeping; });
        if (sweeping)
            stopSweepsAfterFailure();
        showTimeoutMessage();
        return;
    }
    for (int m = 0; m < inputs(); ++m) {
        m_diState[m] = (result->bits >> m) & 1;
        showLamp(m_diControls[m].lamp, m_diState[m]);
        readingArrived({m_diControls[m].lamp});
    }
    if (result->tag == kStartupRead)
        return;

    std::vector<double> samples;
    QStringList labels;
    for (const AoChannel &ch : m_ao) {
        samples.push_back(ch.value);
        labels << fromStd(ao::graphValueText(ch.value));
    }
    for (bool on : m_diState) {
        samples.push_back(on ? 1.0 : 0.0);
        labels << (on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    feedGraph(nowSeconds(), samples, labels);
    // The row holds what each output was set to, after the mode's clamp (as "出力設定値"
    // shows it), through the formula: 12 V typed logs as 9.9997.
    if (m_diAuto.isOn()) {
        unit::UnitState state;
        state.model = model();
        state.unitId = unitId();
        for (int c = 0; c < outputs(); ++c)
            state.outputs[size_t(c)] = {c, m_ao[c].mode, m_ao[c].raw};
        for (int m = 0; m < inputs(); ++m)
            state.diBits |= m_diState[m] ? 1 << m : 0;
        writeUnitRow(state, channelSetups());
    }
}

unit::ChannelSetups AnalogOutputPage::channelSetups() const
{
    const UnitSettingsStore &store = unitSettings();
    unit::ChannelSetups setups;
    for (int c = 0; c < outputs(); ++c) {
        const ChannelScaling &s = m_ao[c].scaling;
        setups.analog.push_back({store.getSignalName(m_traits.settingsCode, unitId(), kOutputKind, c).toStdString(),
                                 s.factor, s.offset, s.unit.toStdString()});
    }
    for (int m = 0; m < inputs(); ++m)
        setups.digital.push_back(store.getSignalName(m_traits.settingsCode, unitId(), kInputKind, m).toStdString());
    return setups;
}

// ---- settings dialogs --------------------------------------------------------------

void AnalogOutputPage::onFormulaButton(int channel)
{
    // Only while the channel is off, as its button: the graph page's Scale button asks too.
    if (!validChannel(channel) || isClosing() || m_ao[channel].state != ControlState::Off)
        return;
    if (const std::optional<Formula> formula = scaled(channel).ask(FormulaDialog::Side::Output)) {
        applyConversion(channel, *formula);
        if (m_ao[channel].outputOn && !isClosing())
            toggleOutput(channel);
    }
    refreshGraph();
}

void AnalogOutputPage::applyConversion(int channel, const Formula &formula)
{
    setDisplayText(m_aoControls[channel].unit, formula.unit);
    const ScaledChannel scaling = scaled(channel);
    scaling.apply(formula);
    scaling.sendUnit();
}

void AnalogOutputPage::onThresholdButton(int channel)
{
    if (!validChannel(channel) || isClosing())
        return;
    const AoChannel &ch = m_ao[channel];
    ThresholdDialog dlg({ao::thresholdLowValue(ch.mode, ch.thresholdLow),
                         ao::thresholdHighValue(ch.mode, ch.thresholdHigh), ch.ledOutside},
                        this);
    if (!runSettingsDialog(dlg))
        return;
    const LedThresholds set = dlg.thresholds();
    const AoChannel &now = m_ao[channel]; // the mode may have changed meanwhile
    session()->setADCThreshold(channel, set.ledOutside ? 1 : 0, now.thresholdMode, ao::thresholdCode(now.mode, set.high),
                               ao::thresholdCode(now.mode, set.low),
                               completion([this](const auto &r) { onSetADCThreshold(r); }));
}

void AnalogOutputPage::onSetADCThreshold(const Result<Threshold> &result)
{
    if (!result || !validChannel(result->channel)) {
        showTimeoutMessage();
        return;
    }
    AoChannel &ch = m_ao[result->channel];
    ch.ledOutside = result->outside != 0;
    ch.thresholdHigh = result->high;
    ch.thresholdLow = result->low;
    updateBar(result->channel);
}

void AnalogOutputPage::onRangeButton(int channel)
{
    if (!validChannel(channel) || isClosing() || m_ao[channel].state != ControlState::Off)
        return;
    OutputRangeDialog dlg(m_ao[channel].mode, this);
    if (!runSettingsDialog(dlg) || dlg.mode() < 0 || dlg.mode() == m_ao[channel].mode)
        return;
    AoChannel &ch = m_ao[channel];
    ch.mode = dlg.mode();
    if (ch.outputOn) {
        toggleOutput(channel);
        m_aoControls[channel].valueEdit->setText(fromStd(ao::valueText(ch.mode, 0.0)));
    } else {
        showOutput(channel); // the display and bar in the new mode's scale
    }
    scaled(channel).sendUnit();
    if (TrendSeries *s = series(channel))
        s->clear();
    scaled(channel).useDefaultRange();
    refreshGraph();
}

ScaledChannel AnalogOutputPage::scaled(int channel)
{
    AoChannel &ch = m_ao[size_t(channel)];
    const ao::Range range = ao::defaultGraphRange(ch.mode);
    return {*this, m_traits.settingsCode, kOutputKind, channel, ch.scaling, ch.mode, {range.min, range.max}};
}

void AnalogOutputPage::onSignalNameButton(RecordKind kind, int channel)
{
    const int channels = kind == kOutputKind ? outputs() : inputs();
    if ((kind != kInputKind && kind != kOutputKind) || channel < 0 || channel >= channels || isClosing())
        return;
    if (const std::optional<QString> name = askSignalName(signalName(kind, channel)))
        applySignalName(kind, channel, *name);
}

void AnalogOutputPage::applySignalName(RecordKind kind, int channel, const QString &name)
{
    setElidedText(kind == kOutputKind ? m_aoControls[channel].name : m_diControls[channel].name, name);
    setSeriesLegend(seriesOf(kind, channel), legend(kind, channel, name));
    unitSettings().setSignalName(m_traits.settingsCode, unitId(), kind, channel, name);
    log().requestHeader();
}

QString AnalogOutputPage::signalName(RecordKind kind, int channel) const
{
    if (kind == kOutputKind)
        return validChannel(channel) ? fullText(m_aoControls[channel].name) : QString();
    return channel >= 0 && channel < inputs() ? fullText(m_diControls[channel].name) : QString();
}

QString AnalogOutputPage::valueEditText(int channel) const { return m_aoControls.at(size_t(channel)).valueEdit->text(); }
QString AnalogOutputPage::displayText(int channel) const { return m_aoControls.at(size_t(channel)).display->text(); }

QString AnalogOutputPage::legend(RecordKind kind, int channel, const QString &name) const
{
    return QStringLiteral("%1%2: %3").arg(kind == kOutputKind ? "AO" : "DI").arg(channel + 1).arg(name);
}

int AnalogOutputPage::seriesOf(RecordKind kind, int channel) const
{
    return kind == kOutputKind ? channel : outputs() + channel;
}

} // namespace qn
