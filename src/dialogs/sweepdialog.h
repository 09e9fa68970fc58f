#pragma once
// "スイープ設定": the sweep settings of one analog output: low value V1, high value V2
// (in the channel's converted unit, shown beside both) and the rise and fall times T1, T2
// in units of 100 ms. OK refuses V1 >= V2 with "最小値＜最大値である必要があります。" and
// stays open. The owner fills the fields, runs the dialog (runDialog) and reads them back
// after OK. GUI thread only.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui { class SweepDialog; }

namespace qn {

class SweepDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SweepDialog(QWidget *parent = nullptr);
    ~SweepDialog() override;

    static QString lowNotBelowHighMessage() { return QStringLiteral("最小値＜最大値である必要があります。"); }
    static constexpr int TimeMaxLength = 6;

    int sweepT1 = 0;
    int sweepT2 = 0;
    double sweepHigh = 0.0;
    double sweepLow = 0.0;
    QString unitText; // "V" or "mA", beside V1 and V2

    void loadFields();
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::SweepDialog> m_ui;
    QString m_shownLow;
    QString m_shownHigh;
};

} // namespace qn
