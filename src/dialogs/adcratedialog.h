#pragma once
// "ADC sps": chooses the sampling rate of a unit's analog-to-digital converter.
// The list position is the rate code sent to the unit (0 = 10 sps ... 7 = 14400 sps).
// The owner opens it with the unit's rate code, runs it (runDialog) and takes rateCode()
// after OK: -1 when no rate is selected. GUI thread only.
#include <QDialog>
#include <QStringList>

#include <memory>

namespace Ui { class AdcRateDialog; }

namespace qn {

class AdcRateDialog final : public QDialog {
    Q_OBJECT
public:
    explicit AdcRateDialog(int rateCode = -1, QWidget *parent = nullptr);
    ~AdcRateDialog() override;

    // "10sps" ... "14400sps", in rate-code order.
    static QStringList rateTexts();
    static constexpr int RateCount = 8;
    // The list row shown for a rate code: -1 (nothing) outside 0..7.
    static int rowForCode(int code);

    int rateCode() const { return m_rateCode; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadFields();

    std::unique_ptr<Ui::AdcRateDialog> m_ui;
    int m_rateCode;
};

} // namespace qn
