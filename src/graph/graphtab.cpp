#include "graph/graphtab.h"

#include "graph/graphpagehost.h"
#include "graph/scrollstrip.h"
#include "graph/trendcanvas.h"
#include "model/inputrange.h"
#include "ui/accessibility.h"
#include "ui/elidedtext.h"
#include "ui/fonts.h"
#include "ui/keyguard.h"

#include "ui/language.h"
#include "ui_graphtab.h"

#include <QDateTime>
#include <QKeyEvent>

#include <cmath>

namespace qn {

namespace {

bool isAnalogInputModel(Model model)
{
    return traits(model).analogInputs > 0;
}

} // namespace

bool applyDisplayPeriod(TrendCanvas &canvas, int index)
{
    const auto period = displayPeriod(index);
    if (!period)
        return false;
    canvas.setSpan(period->span);
    canvas.setSecondsPerDivision(period->secondsPerDivision);
    return true;
}

QColor swatchColor(int series)
{
    static const QColor colors[] = {{255, 255, 80}, {80, 255, 255}, {255, 80, 255}, {80, 255, 80}, {255, 80, 80}};
    return series >= 0 && series < 5 ? colors[series] : QColor(Qt::white);
}

QColor traceColor(int series)
{
    return series == 4 ? QColor(250, 80, 80) : swatchColor(series);
}

void setUpModelSeries(TrendCanvas &canvas, Model model, double now)
{
    // The graph page sets the canvas up as soon as it makes it, so the graph shows its frame,
    // grid and value axis before the device page has connected (or when a model has no page).
    if (canvas.seriesCount() > 0)
        return;
    const auto &layout = traits(model).series;
    canvas.setSecondsPerDivision(5);
    for (int i = 0; i < int(layout.size()); ++i) {
        TrendSeries *s = canvas.addSeries(QString::fromLatin1(layout[i].name.data(), qsizetype(layout[i].name.size())),
                                          layout[i].min, layout[i].max);
        if (!s)
            return;
        const QColor c = traceColor(i);
        s->setColor(c.red(), c.green(), c.blue());
        if (layout[i].digital) {
            s->setDigital(true);
            s->setRange(layout[i].digitalMin, layout[i].digitalMax);
            s->setVisible(false);
        }
    }
    canvas.setTimeRange(now, now + 60, now);
    canvas.setSpan(60);
}

GraphTab::GraphTab(QWidget *parent, Model model)
    : QWidget(parent), m_ui(std::make_unique<Ui::GraphTab>()), m_model(model)
{
    m_ui->setupUi(this);
    m_swatches = {m_ui->swatch0, m_ui->swatch1, m_ui->swatch2, m_ui->swatch3, m_ui->swatch4};
    m_legends = {m_ui->legendLabel0, m_ui->legendLabel1, m_ui->legendLabel2, m_ui->legendLabel3, m_ui->legendLabel4};
    m_values = {m_ui->valueLabel0, m_ui->valueLabel1, m_ui->valueLabel2, m_ui->valueLabel3, m_ui->valueLabel4};
    m_scaleButtons = {m_ui->scaleButton0, m_ui->scaleButton1, m_ui->scaleButton2};
    // Between the focus list and the first legend; its room stays when it is hidden, so the
    // legend does not jump as the operator scrolls back and forth.
    m_valuesTime = m_ui->valuesTimeLabel;
    QSizePolicy keepRoom = m_valuesTime->sizePolicy();
    keepRoom.setRetainSizeWhenHidden(true);
    keepRoom.setHorizontalPolicy(QSizePolicy::Ignored);
    m_valuesTime->setSizePolicy(keepRoom);
    m_valuesTime->hide();
    exposeAsValueDisplay(m_valuesTime);
    keepTranslated(m_valuesTime, [this] {
        m_valuesTime->setAccessibleName(tr("値の時刻"));
        showValuesTime();
    });
    // A reader hears each reading under its channel's legend.
    for (int i = 0; i < kSeries; ++i)
        exposeAsValueDisplay(m_values[std::size_t(i)], m_legends[std::size_t(i)]->text());

    const QFont valueFont = labelFont(12);
    for (int i = 0; i < kSeries; ++i) {
        QPalette pal = m_swatches[i]->palette();
        pal.setColor(QPalette::Window, swatchColor(i));
        m_swatches[i]->setPalette(pal);
        m_swatches[i]->setAutoFillBackground(true);
        m_values[i]->setFont(valueFont);
        // Readings change ten times a second and names are as long as the operator makes
        // them: neither moves the panel's edge; the legend takes the room beside its button.
        for (QLabel *label : {m_values[i], m_legends[i]}) {
            QSizePolicy panelRoom = label->sizePolicy();
            panelRoom.setHorizontalPolicy(QSizePolicy::Ignored);
            label->setSizePolicy(panelRoom);
        }
    }
    m_ui->periodCombo->setCurrentIndex(0);

    QStringList focusItems;
    if (isAnalogInputModel(m_model)) {
        m_ui->digitalCheck3->hide();
        focusItems = {"AI1", "AI2", "AI3", "DO1", "DO2"};
    } else {
        for (int i = 0; i < 3; ++i) {
            checkBox(i)->setText(QString::asprintf("AO%d", i + 1));
            checkBox(3 + i)->setText(QString::asprintf("DI%d", i + 1));
        }
        if (traits(m_model).analogOutputs == 2) {
            m_ui->analogCheck3->hide();
            m_ui->scaleButton2->hide();
            focusItems = {"AO1", "AO2", "DI1", "DI2", "DI3"};
        } else {
            m_ui->digitalCheck3->hide();
            focusItems = {"AO1", "AO2", "AO3", "DI1", "DI2"};
        }
    }
    for (int box = 0; box < 6; ++box)
        checkBox(box)->setChecked(box < 3);
    m_ui->focusCombo->addItems(focusItems);
    m_ui->focusCombo->setCurrentIndex(0);
    for (int i = 0; i < kSeries; ++i) {
        // The page replaces these with "AI1: <signal name>"; until then (or for a model
        // without a control page) the legend names the model's own channels.
        const QString item = focusItems[i];
        setElidedText(m_legends[i], item + QLatin1Char(':'));
        QLabel *swatch = m_swatches[i];
        keepTranslated(swatch, [swatch, item] { swatch->setAccessibleName(item + tr(" 色")); });
        QLabel *value = m_values[i];
        QLabel *legend = m_legends[i];
        keepTranslated(value, [value, legend, item] {
            if (fullText(legend) == item + QLatin1Char(':')) // no page has named the series yet
                value->setAccessibleName(item + tr(" 値"));
        });
    }
    for (int c = 0; c < 3; ++c)
        m_scaleButtons[std::size_t(c)]->setAccessibleName(QStringLiteral("Scale ") + focusItems[c]);

    connect(m_ui->periodCombo, &QComboBox::currentIndexChanged, this, &GraphTab::onPeriodChanged);
    connect(m_ui->focusCombo, &QComboBox::currentIndexChanged, this, &GraphTab::onFocusChanged);
    for (int box = 0; box < 6; ++box)
        connect(checkBox(box), &QCheckBox::toggled, this, [this, box] { onCheckClicked(box); });
    for (int c = 0; c < 3; ++c)
        connect(m_scaleButtons[std::size_t(c)], &QPushButton::clicked, this, [this, c] { onScaleClicked(c); });
    m_ui->controlPanel->installEventFilter(this);
    layOut();
}

GraphTab::~GraphTab() = default;

void GraphTab::layOut()
{
    // A page not yet shown gets its resize events only when shown; its controls are placed
    // now, so that they stand where they will (and can be clicked) before that.
    QWidget *legend = m_ui->legendPanel;
    legend->setMinimumSize(0, 0);
    legend->setMaximumSize(QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
    m_ui->graphLayout->activate();
    m_ui->controlLayout->setGeometry(m_ui->controlPanel->rect());
    fitLegendPanel();
}

void GraphTab::fitLegendPanel()
{
    // The values under the legends change with every reading. A label whose box may change
    // size has each new text lay out every box around it again, up to the whole window; the
    // legends' box is held at the size the panel gives it, so a reading repaints only itself.
    const QMargins margins = m_ui->controlLayout->contentsMargins();
    const int width = m_ui->controlPanel->width() - margins.left() - margins.right();
    if (width > 0)
        m_ui->legendPanel->setFixedSize(width, m_ui->legendGrid->sizeHint().height());
}

bool GraphTab::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_ui->controlPanel && event->type() == QEvent::Resize)
        fitLegendPanel();
    return QWidget::eventFilter(watched, event);
}

void GraphTab::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        m_ui->retranslateUi(this);
    QWidget::changeEvent(event);
    // Other texts, another width for the panel: the legends take what it gives them again.
    if (event->type() == QEvent::LanguageChange || event->type() == QEvent::FontChange)
        layOut();
}

QRect GraphTab::canvasRect()
{
    // 100 x 100 dialog units in pixels, over the 175 x 150 the canvas's figures are made for.
    const double fx = 100 * kPixelsPerDialogUnit / 175;
    const double fy = 100 * kPixelsPerDialogUnit / 150;
    return QRect(int(10 * fx), int(10 * fy), int(700 * fx), int(400 * fy));
}

TrendCanvas *GraphTab::createCanvas()
{
    if (m_canvas)
        return m_canvas;
    TrendCanvas *canvas = addCanvasWithStrip(this, canvasRect());
    // The plot takes whatever room the window gives beyond the controls, and never less
    // than the size its proportions are made for.
    canvas->setMinimumSize(canvasRect().size());
    canvas->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_ui->graphLayout->insertWidget(0, canvas->parentWidget(), 1);
    layOut();
    canvas->enableCursor(true);
    setUpModelSeries(*canvas, m_model, double(QDateTime::currentMSecsSinceEpoch()) / 1000.0);
    m_canvas = canvas;
    connect(canvas, &TrendCanvas::viewChanged, this, &GraphTab::showView);
    return canvas;
}

QString GraphTab::defaultUnit(Model model, int rangeIndex)
{
    if (isAnalogInputModel(model)) {
        if (rangeIndex < 0 || rangeIndex > ai::kThermocoupleRange)
            return QString();
        const std::string_view unit = ai::defaultUnit(rangeIndex);
        return QString::fromUtf8(unit.data(), qsizetype(unit.size()));
    }
    if (rangeIndex == 0)
        return QStringLiteral("V");
    if (rangeIndex == 1)
        return QStringLiteral("mA");
    return QString();
}

void GraphTab::setChannelUnit(int index, int rangeIndex, double a, double b, const QString &unit)
{
    TrendSeries *series = m_canvas ? m_canvas->series(index) : nullptr;
    if (!series)
        return;
    const QString text = unit.isEmpty() && a == 1.0 && b == 0.0 ? defaultUnit(m_model, rangeIndex) : unit;
    series->setUnit(text.toStdString());
}

void GraphTab::setValueLabel(int index, const QString &text)
{
    if (index < 0 || index >= kSeries)
        return;
    if (index <= 2) {
        const TrendSeries *series = m_canvas ? m_canvas->series(index) : nullptr;
        const QString unit = series ? QString::fromStdString(series->unit()) : QString();
        setDisplayText(m_values[std::size_t(index)], text + QLatin1Char(' ') + unit);
    } else {
        setDisplayText(m_values[std::size_t(index)], text);
    }
    if (m_valuesTime->isVisible())
        showValuesTime();
}

QString GraphTab::widthText(double seconds)
{
    const bool hours = seconds >= 3600;
    const QString number = QString::number(seconds / (hours ? 3600 : 60), 'f', 1);
    return (number.endsWith(QLatin1String(".0")) ? number.chopped(2) : number)
           + (hours ? QStringLiteral("hour") : QStringLiteral("min"));
}

QString GraphTab::valuesTimeText() const
{
    if (!m_canvas || m_canvas->isLive() || m_canvas->latestTime() == 0)
        return {};
    // The values stay the newest readings while the graph shows an older stretch.
    const QDateTime at = QDateTime::fromMSecsSinceEpoch(qint64(std::llround(m_canvas->latestTime() * 1000)));
    return tr("値は最新 (%1)").arg(at.toString(QStringLiteral("HH:mm:ss")));
}

void GraphTab::showValuesTime()
{
    const QString text = valuesTimeText();
    setDisplayText(m_valuesTime, text);
    m_valuesTime->setVisible(!text.isEmpty());
}

void GraphTab::showView()
{
    if (!m_canvas)
        return;
    const double width = m_canvas->viewEnd() - m_canvas->viewStart();
    const int index = periodIndexOf(width);
    const QSignalBlocker quiet(m_ui->periodCombo);
    if (index >= 0) {
        m_ui->periodCombo->setCurrentIndex(index);
    } else if (width > 0) {
        m_ui->periodCombo->setPlaceholderText(widthText(width));
        m_ui->periodCombo->setCurrentIndex(-1);
    }
    showValuesTime();
}

QString GraphTab::valueLabelText(int index) const
{
    return index >= 0 && index < kSeries ? m_values[std::size_t(index)]->text() : QString();
}

void GraphTab::enableScaleButton(int channel, bool enabled)
{
    if (channel >= 0 && channel < 3)
        m_scaleButtons[std::size_t(channel)]->setEnabled(enabled);
}

void GraphTab::setLegendText(int index, const QString &text)
{
    if (index >= 0 && index < kSeries) {
        setElidedText(m_legends[std::size_t(index)], text);
        m_values[std::size_t(index)]->setAccessibleName(text);
    }
}

QString GraphTab::legendText(int index) const
{
    return index >= 0 && index < kSeries ? fullText(m_legends[std::size_t(index)]) : QString();
}

QCheckBox *GraphTab::checkBox(int box) const
{
    QCheckBox *const boxes[] = {m_ui->analogCheck1, m_ui->analogCheck2, m_ui->analogCheck3,
                                m_ui->digitalCheck1, m_ui->digitalCheck2, m_ui->digitalCheck3};
    return boxes[box];
}

void GraphTab::refresh()
{
    if (m_page)
        m_page->refreshGraph();
    else if (m_canvas)
        m_canvas->setTimeRange(0, 0);
}

void GraphTab::onPeriodChanged(int index)
{
    if (m_page)
        m_page->setDisplayPeriod(index);
    else if (m_canvas)
        applyDisplayPeriod(*m_canvas, index);
    refresh();
}

void GraphTab::onFocusChanged(int index)
{
    if (m_canvas)
        m_canvas->setFocusSeries(index);
    refresh();
}

void GraphTab::onCheckClicked(int box)
{
    const bool shown = checkBox(box)->isChecked();
    // The QN-110 has two analog series, so its digital inputs are series 2-4.
    const int series = box >= 3 ? box - 3 + traits(m_model).analogOutputs + traits(m_model).analogInputs : box;
    if (m_canvas)
        if (TrendSeries *s = m_canvas->series(series))
            s->setVisible(shown);
    refresh();
}

void GraphTab::onScaleClicked(int channel)
{
    if (m_page)
        m_page->openFormulaDialog(channel);
}

void GraphTab::keyPressEvent(QKeyEvent *event)
{
    if (!swallowEnterOrEscape(event))
        QWidget::keyPressEvent(event);
}

} // namespace qn
