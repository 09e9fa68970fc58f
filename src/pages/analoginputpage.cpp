#include "pages/analoginputpage.h"

#include "settings/unitsettings.h"
#include "graph/graphtab.h"
#include "pages/pagecolours.h"
#include "graph/trendcanvas.h"
#include "ui/accessibility.h"
#include "ui/elidedtext.h"
#include "ui/fonts.h"
#include "ui/showntext.h"

#include "ui_analoginputpage.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QProgressBar>
#include <QSignalBlocker>
#include <QStandardItemModel>

#include <algorithm>
#include <utility>

namespace qn {

namespace {


QString doLegend(int output, const QString &name)
{
    return QStringLiteral("DO%1: %2").arg(output + 1).arg(name);
}

QString aiLegend(int channel, const QString &name)
{
    return QStringLiteral("AI%1: %2").arg(channel + 1).arg(name);
}

// QProgressBar repaints at once (not at the next paint) on every change it can show; a
// reading that leaves the bar where it was costs nothing. A value outside the bar's range
// would be ignored, leaving the previous reading on show: it is held at the nearer end.
void setBarValue(QProgressBar *bar, int value)
{
    value = std::clamp(value, bar->minimum(), bar->maximum());
    if (bar->value() == value)
        return;
    bar->setValue(value);
}

// Series of the page: AI1-AI3 are 0-2, DO1 and DO2 are 3 and 4.
constexpr int kFirstDoSeries = 3;

} // namespace

AnalogInputPage::AnalogInputPage(QWidget *parent, Model model, DevicePageArgs args)
    : DevicePage(parent, model, std::move(args)), m_ui(std::make_unique<Ui::AnalogInputPage>())
{
    m_ui->setupUi(this);
    m_doNames = {m_ui->doName1, m_ui->doName2};
    m_lamps = {m_ui->doLamp1, m_ui->doLamp2};
    m_doButtons = {m_ui->doToggleButton1, m_ui->doToggleButton2};
    m_aiNames = {m_ui->aiName1, m_ui->aiName2, m_ui->aiName3};
    m_rangeCombos = {m_ui->rangeCombo1, m_ui->rangeCombo2, m_ui->rangeCombo3};
    m_measured = {m_ui->measuredValue1, m_ui->measuredValue2, m_ui->measuredValue3};
    m_convertedLabels = {m_ui->convertedValue1, m_ui->convertedValue2, m_ui->convertedValue3};
    m_bars = {m_ui->bar1, m_ui->bar2, m_ui->bar3};

    // Assistive tools read what each display shows under the name the form gives it
    // ("AI1 測定値"), the lamps' state in words, and each range list's label.
    const auto expose = [](const auto &displays) {
        for (QLabel *display : displays)
            exposeAsValueDisplay(display);
    };
    expose(m_doNames);
    expose(m_lamps);
    expose(m_aiNames);
    expose(m_measured);
    expose(m_convertedLabels);
    for (QComboBox *combo : m_rangeCombos)
        linkAccessibleLabel(combo);
    for (QWidget *display : std::initializer_list<QWidget *>{m_lamps[0], m_lamps[1], m_measured[0], m_measured[1],
                                                             m_measured[2], m_convertedLabels[0], m_convertedLabels[1],
                                                             m_convertedLabels[2], m_bars[0], m_bars[1], m_bars[2]})
        markAsUnitValue(display);

    const std::array<QPushButton *, kOutputs> doNameButtons{m_ui->doNameButton1, m_ui->doNameButton2};
    const std::array<QPushButton *, kInputs> aiNameButtons{m_ui->aiNameButton1, m_ui->aiNameButton2,
                                                           m_ui->aiNameButton3};
    const std::array<QPushButton *, kInputs> formulaButtons{m_ui->formulaButton1, m_ui->formulaButton2,
                                                            m_ui->formulaButton3};
    const std::array<QPushButton *, kInputs> thresholdButtons{
        m_ui->thresholdButton1, m_ui->thresholdButton2, m_ui->thresholdButton3};

    for (int o = 0; o < kOutputs; ++o) {
        connect(doNameButtons[o], &QPushButton::clicked, this, [this, o] { onSignalNameButton(kOutputKind, o); });
        connect(m_doButtons[o], &QPushButton::clicked, this, [this, o] { toggleOutput(o); });
    }
    for (int c = 0; c < kInputs; ++c) {
        connect(aiNameButtons[c], &QPushButton::clicked, this, [this, c] { onSignalNameButton(kInputKind, c); });
        connect(formulaButtons[c], &QPushButton::clicked, this, [this, c] {
            onFormulaButton(c);
        });
        connect(thresholdButtons[c], &QPushButton::clicked, this, [this, c] { onThresholdButton(c); });
        connect(m_rangeCombos[c], &QComboBox::currentIndexChanged, this, [this, c](int index) {
            // The greyed item of a code the list lacks is the unit's, never a choice.
            if (!m_settingCombo && index >= 0 && index < int(ai::rangeItems(traits(this->model()).thermocouple).size()))
                changeRange(c, index);
        });
    }
    connect(m_ui->adcRateButton, &QPushButton::clicked, this, &AnalogInputPage::onAdcRateButton);
    connect(m_ui->readButton, &QPushButton::clicked, this, &AnalogInputPage::readInputs);
    attachAutoMode(m_aiAuto, m_ui->aiAutoCheck, m_ui->aiPeriodEdit, m_ui->readButton);
    attachAutoMode(m_doAuto[0], m_ui->doAutoCheck1, m_ui->doPeriodEdit1, m_doButtons[0]);
    attachAutoMode(m_doAuto[1], m_ui->doAutoCheck2, m_ui->doPeriodEdit2, m_doButtons[1]);
}

AnalogInputPage::~AnalogInputPage() = default;

void AnalogInputPage::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange) {
        m_ui->retranslateUi(this);
        renameAccessibleLabels(this);
        m_ui->infoLabel->setText(shownMacText(args().macText));
        const std::vector<std::string_view> items = ai::rangeItems(traits(model()).thermocouple);
        for (QComboBox *combo : m_rangeCombos) {
            for (int i = 0; i < combo->count() && i < int(items.size()); ++i)
                combo->setItemText(i, shownText(items[size_t(i)]));
        }
        for (int c = 0; c < kInputs; ++c)
            setRangeCombo(c, m_ai[c].range);
    }
    DevicePage::changeEvent(event);
}

// ---- start-up ----------------------------------------------------------------------

void AnalogInputPage::initialisePage()
{
    const QFont valueFont = labelFont(kValuePointSize);
    // A fixed size keeps a new reading from re-laying out (and repainting) the whole
    // page ten times a second.
    const QFontMetrics metrics(valueFont);
    const int valueWidth = metrics.horizontalAdvance(QStringLiteral("-888.8888 mV")) + 12;
    const int valueHeight = metrics.height() + 6;
    for (int c = 0; c < kInputs; ++c) {
        for (QLabel *label : {m_measured[c], m_convertedLabels[c]}) {
            label->setFont(valueFont);
            label->setFixedSize(valueWidth, valueHeight);
            // Opaque, so a new value repaints the label alone and not the panels under it.
            label->setAutoFillBackground(true);
        }
        m_bars[c]->setAutoFillBackground(true);
    }
    // One face for the whole line: in the default face the digits after the Japanese
    // caption fall back to another font half-way through the MAC address.
    m_ui->infoLabel->setFont(fixedCjkFont(QFontInfo(m_ui->infoLabel->font()).pixelSize()));
    m_ui->infoLabel->setText(shownMacText(args().macText));

    for (QLineEdit *edit : {m_ui->aiPeriodEdit, m_ui->doPeriodEdit1, m_ui->doPeriodEdit2}) {
        edit->setText(QStringLiteral("10"));
        attachDigitsFilter(edit, 6);
    }

    setUpGraph();

    UnitSettingsStore &store = unitSettings();
    for (int o = 0; o < kOutputs; ++o) {
        const QString name = store.getSignalName(kModelCode, unitId(), kOutputKind, o);
        setElidedText(m_doNames[o], name);
        setSeriesLegend(kFirstDoSeries + o, doLegend(o, name));
    }
    for (int c = 0; c < kInputs; ++c) {
        const QString name = store.getSignalName(kModelCode, unitId(), kInputKind, c);
        setElidedText(m_aiNames[c], name);
        setSeriesLegend(c, aiLegend(c, name));
    }

    QStringList items;
    for (const std::string_view item : ai::rangeItems(traits(model()).thermocouple))
        items << shownText(item);
    for (int c = 0; c < kInputs; ++c) {
        QSignalBlocker block(m_rangeCombos[c]);
        m_rangeCombos[c]->addItems(items);
    }

    for (int c = 0; c < kInputs; ++c) {
        AiChannel &ch = m_ai[c];
        setDisplayText(m_measured[c], {});
        setDisplayText(m_convertedLabels[c], {});
        ch.hasReading = false;
        scaled(c).load();
        // Until the unit reports its range the channel shows "±10V" and that range's
        // graph range, unless the settings hold a valid one.
        setRangeCombo(c, ch.range);
        applyRangeToBar(c);
        if (!ch.scaling.hasOwnRange())
            scaled(c).useDefaultRange();
        updateBarColour(c);
    }
    showLamps();

    postStartup();
}

// ---- the tick ----------------------------------------------------------------------

void AnalogInputPage::tick()
{
    // A unit slower than the period (or one that has gone quiet) would otherwise pile
    // up requests without end: an automatic action is skipped while the previous one of
    // its kind is still waiting for the unit. With a unit that keeps up nothing changes.
    const bool doBusy = m_doWritesPending > 0;
    if (m_doAuto[0].dueNext() && m_doAuto[1].dueNext()) {
        // Both outputs due at once: one request inverts both.
        m_doAuto[0].restart();
        m_doAuto[1].restart();
        if (!doBusy)
            postSetDO((m_doState[0] | (m_doState[1] << 1)) ^ 3);
    } else {
        for (int o = 0; o < kOutputs; ++o) {
            if (m_doAuto[o].advance() && !doBusy)
                toggleOutput(o);
        }
    }
    if (m_aiAuto.advance() && m_aiReadsPending == 0)
        readInputs();
}

// ---- inputs ------------------------------------------------------------------------

void AnalogInputPage::readInputs()
{
    if (session()->getAllAI(completion([this](const auto &r) { onGetAllAI(r); })))
        ++m_aiReadsPending;
}

void AnalogInputPage::postSetDO(int pattern)
{
    if (session()->setDO(pattern, completion([this](const auto &r) { onSetDO(r); })))
        ++m_doWritesPending;
}

void AnalogInputPage::onGetAllAI(const Result<AnalogInputs> &result)
{
    --m_aiReadsPending;
    if (!result) {
        switchAutomaticModesOff();
        showTimeoutMessage();
        return;
    }
    const std::array<int, kInputs> codes = result->values();
    for (int c = 0; c < kInputs; ++c)
        showReading(c, codes[c]);
    readingArrived({m_measured[0], m_measured[1], m_measured[2], m_convertedLabels[0], m_convertedLabels[1],
                    m_convertedLabels[2], m_bars[0], m_bars[1], m_bars[2]});

    std::vector<double> values;
    QStringList labels;
    for (int c = 0; c < kInputs; ++c) {
        values.push_back(m_ai[c].converted);
        labels << QString::fromStdString(ai::trimmedValue(m_ai[c].converted));
    }
    for (int o = 0; o < kOutputs; ++o) {
        values.push_back(m_doState[o] ? 1.0 : 0.0);
        labels << (m_doState[o] ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
    feedGraph(nowSeconds(), values, labels);

    // The row holds the same trimmed texts as the page and the graph.
    if (m_aiAuto.isOn()) {
        unit::UnitState state;
        state.model = model();
        state.unitId = unitId();
        for (int c = 0; c < kInputs; ++c)
            state.ranges[size_t(c)] = m_ai[c].range;
        state.inputs = {m_ai[0].raw, m_ai[1].raw, m_ai[2].raw};
        state.doPattern = m_doState[0] | (m_doState[1] << 1);
        writeUnitRow(state, channelSetups());
    }
}

void AnalogInputPage::showReading(int channel, int raw)
{
    AiChannel &ch = m_ai[channel];
    ch.raw = raw;
    ch.hasReading = true;
    ch.converted = ai::convertedValue(ch.raw, ch.range, ch.scaling.factor, ch.scaling.offset); // the graph and the log take it
    // While another tab of a shown window is up nobody can see (or hear) the page's value
    // displays: they catch up with the latest reading when the page shows again, and a
    // reading costs only what the graph and the log need.
    if (!isVisible() && window()->isVisible()) {
        m_displaysBehind = true;
        return;
    }
    showChannel(channel);
}

void AnalogInputPage::clearReading(int channel)
{
    setBarValue(m_bars[channel], 0);
    setDisplayText(m_measured[channel], {});
    setDisplayText(m_convertedLabels[channel], {});
    m_ai[channel].hasReading = false;
}

void AnalogInputPage::showChannel(int channel)
{
    const AiChannel &ch = m_ai[channel];
    setDisplayText(m_measured[channel], QString::fromStdString(ai::measuredText(ch.raw, ch.range)));
    updateConvertedText(channel);
    setBarValue(m_bars[channel], ai::barPosition(ch.raw, ch.range));
    updateBarColour(channel);
}

void AnalogInputPage::showEvent(QShowEvent *event)
{
    if (std::exchange(m_displaysBehind, false))
        for (int c = 0; c < kInputs; ++c)
            if (m_ai[c].hasReading)
                showChannel(c);
    DevicePage::showEvent(event);
}

void AnalogInputPage::updateConvertedText(int channel)
{
    AiChannel &ch = m_ai[channel];
    if (!ch.hasReading)
        return;
    ch.converted = ai::convertedValue(ch.raw, ch.range, ch.scaling.factor, ch.scaling.offset);
    if (m_fittedUnit[channel] != ch.scaling.unit)
        fitConvertedFont(channel);
    setDisplayText(m_convertedLabels[channel],
                   QString::fromStdString(ai::trimmedValue(ch.converted)) + QLatin1Char(' ') + ch.scaling.unit);
}

void AnalogInputPage::fitConvertedFont(int channel)
{
    // The label has a fixed size and shows its text right-aligned: with a long unit text
    // the value's leading digits fell off its left edge (3.04701 kgf/cm2X read as
    // "4701 kgf/cm2X"). A unit that would not fit beside the widest usual value gets a
    // smaller font instead.
    QLabel *label = m_convertedLabels[channel];
    const QString widest = QStringLiteral("-8888888 ") + m_ai[channel].scaling.unit;
    const int room = label->contentsRect().width() - 2 * label->margin() - 2;
    QFont font = labelFont(kValuePointSize);
    for (int size = kValuePointSize; size > 6; --size) {
        font.setPointSize(size);
        if (QFontMetrics(font).horizontalAdvance(widest) <= room)
            break;
    }
    if (font != label->font())
        label->setFont(font);
    m_fittedUnit[channel] = m_ai[channel].scaling.unit;
}

void AnalogInputPage::updateBarColour(int channel)
{
    const AiChannel &ch = m_ai[channel];
    const int lit = ai::ledLit(ch.raw, ch.lowThreshold, ch.highThreshold, ch.ledOutside) ? 1 : 0;
    if (m_barColourLit[channel] == lit)
        return;
    m_barColourLit[channel] = lit;
    paintLit(m_bars[channel], QPalette::Highlight, lit ? kBarLit : kBarUnlit);
}

void AnalogInputPage::applyRangeToBar(int channel)
{
    m_bars[channel]->setRange(0, ai::barMaximum(m_ai[channel].range));
}

unit::ChannelSetups AnalogInputPage::channelSetups() const
{
    const UnitSettingsStore &store = unitSettings();
    unit::ChannelSetups setups;
    for (int c = 0; c < kInputs; ++c) {
        const ChannelScaling &s = m_ai[c].scaling;
        setups.analog.push_back({store.getSignalName(kModelCode, unitId(), kInputKind, c).toStdString(), s.factor,
                                 s.offset, s.unit.toStdString()});
    }
    for (int o = 0; o < kOutputs; ++o)
        setups.digital.push_back(store.getSignalName(kModelCode, unitId(), kOutputKind, o).toStdString());
    return setups;
}

// ---- outputs -----------------------------------------------------------------------

void AnalogInputPage::toggleOutput(int output)
{
    postSetDO((m_doState[0] | (m_doState[1] << 1)) ^ (1 << output));
}

void AnalogInputPage::onSetDO(const Result<DigitalOutputs> &result)
{
    --m_doWritesPending;
    if (!result) {
        switchAutomaticModesOff();
        showTimeoutMessage();
        return;
    }
    storeDoPattern(result->pattern);
}

void AnalogInputPage::showLamps()
{
    for (int o = 0; o < kOutputs; ++o) {
        paintLit(m_lamps[o], QPalette::Window, m_doState[o] ? kLampOn : kLampOff);
        setAccessibleState(m_lamps[o], m_doState[o] ? QStringLiteral("ON") : QStringLiteral("OFF"));
    }
}

// ---- automatic modes ---------------------------------------------------------------

void AnalogInputPage::setAiAuto(bool on)
{
    m_aiAuto.set(on);
}

void AnalogInputPage::setDoAuto(int output, bool on)
{
    m_doAuto.at(size_t(output)).set(on);
}

void AnalogInputPage::switchAutomaticModesOff()
{
    if (m_aiAuto.isOn())
        m_aiAuto.set(false);
    for (AutoMode &mode : m_doAuto) {
        if (mode.isOn())
            mode.set(false);
    }
}

ScaledChannel AnalogInputPage::scaled(int channel)
{
    AiChannel &ch = m_ai[size_t(channel)];
    const ai::RangeInfo &info = ai::rangeInfo(ch.range);
    return {*this, kModelCode, kInputKind, channel, ch.scaling, ch.range, {info.graphMin, info.graphMax}};
}

// ---- what the settings dialogs apply ---------------------------------------------

QString AnalogInputPage::signalName(RecordKind kind, int channel) const
{
    if (kind == kOutputKind)
        return channel >= 0 && channel < kOutputs ? fullText(m_doNames[channel]) : QString();
    return channel >= 0 && channel < kInputs ? fullText(m_aiNames[channel]) : QString();
}

QString AnalogInputPage::measuredText(int channel) const
{
    return m_measured.at(size_t(channel))->text();
}

QString AnalogInputPage::convertedText(int channel) const
{
    return m_convertedLabels.at(size_t(channel))->text();
}

void AnalogInputPage::applySignalName(RecordKind kind, int channel, const QString &name)
{
    if (kind == kOutputKind) {
        if (channel < 0 || channel >= kOutputs)
            return;
        setElidedText(m_doNames[channel], name);
        setSeriesLegend(kFirstDoSeries + channel, doLegend(channel, name));
    } else {
        if (channel < 0 || channel >= kInputs)
            return;
        setElidedText(m_aiNames[channel], name);
        setSeriesLegend(channel, aiLegend(channel, name));
    }
    unitSettings().setSignalName(kModelCode, unitId(), kind, channel, name);
    log().requestHeader();
}

} // namespace qn
