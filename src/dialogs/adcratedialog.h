#pragma once
// "ADC sps": chooses the sampling rate of a unit's analog-to-digital converter.
// The list position is the rate code sent to the unit (0 = 10 sps ... 7 = 14400 sps).
// The owner sets rateIndex, runs the dialog (runDialog) and reads rateIndex after OK:
// -1 when no rate is selected. GUI thread only.
#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui { class AdcRateDialog; }

namespace qn {

class AdcRateDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AdcRateDialog(QWidget *parent = nullptr);
    ~AdcRateDialog() override;

    // "10sps" ... "14400sps", in rate-code order.
    static QStringList rateTexts();
    static constexpr int RateCount = 8;
    // The list row shown for a rate code: -1 (nothing) outside 0..7.
    static int rowForCode(int code);

    int rateIndex = -1;

    void loadFields();
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::AdcRateDialog> m_ui;
};

} // namespace qn
