#include "dialogs/doalertdialog.h"

#include "common/numbertext.h"
#include "dialogs/doalertpicture.h"
#include "dialogs/fieldtext.h"
#include "ui/accessibility.h"
#include "ui/fonts.h"
#include "ui/messages.h"
#include "ui/numericedit.h"
#include "ui/showntext.h"
#include "ui_doalertdialog.h"

#include <QShowEvent>
#include <QSignalBlocker>

#include <algorithm>

namespace qn {

namespace {

int inputIndex(int input) { return input >= 0 && input < 3 ? input : 0; }

} // namespace

DoAlertDialog::DoAlertDialog(const DoAlertChoice &alert, const DoAlertInputs &inputs, QWidget *parent)
    : QDialog(parent), m_ui(std::make_unique<Ui::DoAlertDialog>()), m_choice(alert), m_inputs(inputs)
{
    m_ui->setupUi(this);

    // The values stand beside the picture on the lines of the marks they name.
    const std::array<QLabel *, doalert::kLabelCount> labels = {m_ui->valueLabel1, m_ui->valueLabel2,
                                                               m_ui->valueLabel3, m_ui->valueLabel4,
                                                               m_ui->valueLabel5, m_ui->valueLabel6,
                                                               m_ui->valueLabel7};
    for (int i = 0; i < doalert::kLabelCount; ++i) {
        QLabel *label = labels[size_t(i)];
        label->setFont(fixedCjkFont(12));
        label->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
        label->setGeometry(4, DoAlertPicture::slotY(i + 1) - 17, m_ui->valueColumn->maximumWidth() - 4, 16);
        exposeAsValueDisplay(label);
    }

    connect(m_ui->monitoredInputCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_choice.monitoredInput = inputIndex(index);
        selectInput();
        refresh();
    });
    connect(m_ui->ledConditionCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_choice.ledCondition = index == 1 ? 1 : 0;
        refresh();
    });
    connect(m_ui->directionCombo, &QComboBox::currentIndexChanged, this, [this](int index) {
        m_choice.hysteresisDirection = index == 1 ? 1 : 0;
        refresh();
    });
    connect(m_ui->highEdit, &QLineEdit::textChanged, this, [this] { editValue(Field::High); });
    connect(m_ui->lowEdit, &QLineEdit::textChanged, this, [this] { editValue(Field::Low); });
    connect(m_ui->widthEdit, &QLineEdit::textChanged, this, [this] { editValue(Field::Width); });
    connect(m_ui->okButton, &QPushButton::clicked, this, &DoAlertDialog::accept);
}

DoAlertDialog::~DoAlertDialog() = default;

void DoAlertDialog::loadFields()
{
    m_choice.monitoredInput = inputIndex(m_choice.monitoredInput);
    m_choice.hysteresisDirection = m_choice.hysteresisDirection == 1 ? 1 : 0;
    m_choice.hysteresisWidth &= 0xFFFF;
    {
        const QSignalBlocker inputBlock(m_ui->monitoredInputCombo);
        const QSignalBlocker directionBlock(m_ui->directionCombo);
        m_ui->monitoredInputCombo->setCurrentIndex(m_choice.monitoredInput);
        m_ui->directionCombo->setCurrentIndex(m_choice.hysteresisDirection);
    }
    selectInput();
    refresh();
    m_ui->monitoredInputCombo->setFocus();
}

void DoAlertDialog::accept()
{
    m_choice.monitoredInput = inputIndex(m_ui->monitoredInputCombo->currentIndex());
    m_choice.hysteresisDirection = m_ui->directionCombo->currentIndex() == 1 ? 1 : 0;
    QDialog::accept();
}

void DoAlertDialog::showEvent(QShowEvent *event)
{
    if (!event->spontaneous())
        loadFields();
    QDialog::showEvent(event);
}

int DoAlertDialog::range() const { return m_inputs[size_t(inputIndex(m_choice.monitoredInput))].range; }

QLineEdit *DoAlertDialog::edit(Field field) const
{
    switch (field) {
    case Field::High: return m_ui->highEdit;
    case Field::Low: return m_ui->lowEdit;
    case Field::Width: break;
    }
    return m_ui->widthEdit;
}

// The chosen input's LED condition and thresholds become the ones edited; the width and
// direction belong to the output and stay.
void DoAlertDialog::selectInput()
{
    const DoAlertInput &in = m_inputs[size_t(inputIndex(m_choice.monitoredInput))];
    m_choice.ledCondition = in.ledOutside ? 1 : 0;
    {
        const QSignalBlocker block(m_ui->ledConditionCombo);
        m_ui->ledConditionCombo->setCurrentIndex(m_choice.ledCondition);
    }
    m_choice.highCode = in.high & 0xFFFF;
    m_choice.lowCode = in.low & 0xFFFF;
    refresh();
    m_shownCodes = {m_choice.highCode, m_choice.lowCode, m_choice.hysteresisWidth};
    m_shown = {fieldtext::fixed(doalert::thresholdValue(m_choice.highCode, in.range)),
               fieldtext::fixed(doalert::thresholdValue(m_choice.lowCode, in.range)),
               fieldtext::fixed(doalert::widthValue(m_choice.hysteresisWidth, in.range))};
    // Each text change converts the edit's number back (editValue).
    m_ui->highEdit->setText(m_shown[size_t(Field::High)]);
    m_ui->lowEdit->setText(m_shown[size_t(Field::Low)]);
    m_ui->widthEdit->setText(m_shown[size_t(Field::Width)]);
    m_ui->thresholdCaption->setText(
        tr("アナログ閾値 ( %1 )").arg(shownText(doalert::rangeName(in.range))));
}

void DoAlertDialog::editValue(Field field)
{
    QLineEdit *e = edit(field);
    bool cut = false;
    const QString kept = numericPrefix(e->text(), NumberChars::Decimal, &cut);
    if (cut) {
        showMessage(this, notANumberMessage);
        e->setText(kept); // comes back here with the kept part
        return;
    }
    const doalert::Limits limits =
        field == Field::Width ? doalert::widthLimits(range()) : doalert::thresholdLimits(range());
    const double typed = parseLenient(kept);
    const double value = std::clamp(typed, limits.min, limits.max);
    if (value != typed) {
        e->setText(fieldtext::fixed(value)); // comes back here with the limited number
        return;
    }
    // A text as the dialog wrote it (left alone, or typed again after a change) has the
    // code it was written from: six decimals can round a code's value onto the next step
    // (width 0x7FFF on the two smallest ranges), and merely opening the dialog must not
    // change what the unit holds.
    const bool asWritten = kept == m_shown[size_t(field)];
    const int written = m_shownCodes[size_t(field)];
    switch (field) {
    case Field::High: m_choice.highCode = asWritten ? written : doalert::thresholdCode(value, range()); break;
    case Field::Low: m_choice.lowCode = asWritten ? written : doalert::thresholdCode(value, range()); break;
    case Field::Width: m_choice.hysteresisWidth = asWritten ? written : doalert::widthCode(value, range()); break;
    }
    refresh();
}

void DoAlertDialog::refresh()
{
    const DoAlertChoice &c = m_choice;
    m_outcome = doalert::evaluate(
        {range(), c.ledCondition, c.highCode, c.lowCode, c.hysteresisWidth, c.hysteresisDirection});
    m_ui->picture->setIllustration(m_outcome.illustration);
    const std::array<QLabel *, doalert::kLabelCount> labels = {m_ui->valueLabel1, m_ui->valueLabel2,
                                                               m_ui->valueLabel3, m_ui->valueLabel4,
                                                               m_ui->valueLabel5, m_ui->valueLabel6,
                                                               m_ui->valueLabel7};
    for (size_t i = 0; i < labels.size(); ++i) {
        const auto &value = m_outcome.labels[i];
        setDisplayText(labels[i], value ? QString::fromStdString(doalert::labelText(*value, range())) : QString());
    }
}

} // namespace qn
