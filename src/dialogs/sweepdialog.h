#pragma once
// "スイープ設定": the sweep settings of one analog output: low value V1, high value V2
// (in the channel's converted unit, shown beside both) and the rise and fall times T1, T2
// in units of 100 ms. OK refuses V1 >= V2 with "最小値＜最大値である必要があります。" and
// stays open. The owner opens it with the output's settings and unit text ("V" or "mA",
// beside V1 and V2), runs it (runDialog) and takes settings() after OK. GUI thread only.
#include <QDialog>
#include "model/sweep.h"

#include <QString>

#include <memory>

namespace Ui { class SweepDialog; }

namespace qn {

class SweepDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SweepDialog(const SweepSettings &shown = {}, const QString &unitText = {}, QWidget *parent = nullptr);
    ~SweepDialog() override;

    static QString lowNotBelowHighMessage() { return tr("最小値＜最大値である必要があります。"); }
    static constexpr int TimeMaxLength = 6;

    SweepSettings settings() const { return m_settings; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadFields();

    std::unique_ptr<Ui::SweepDialog> m_ui;
    SweepSettings m_settings;
    QString m_unitText;
    QString m_shownLow;
    QString m_shownHigh;
};

} // namespace qn
