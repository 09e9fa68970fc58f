#pragma once
// "熱電対測定設定": a QN-220 input's thermocouple type, cold-junction compensation,
// burn-out detection and what the input reads on a burn-out. The owner sets the fields,
// runs the dialog (runDialog) and reads them back after OK; OK is the only button,
// Escape and the close box cancel. GUI thread only.
#include <QDialog>

#include <memory>

namespace Ui { class ThermocoupleDialog; }

namespace qn {

class ThermocoupleDialog final : public QDialog {
    Q_OBJECT
public:
    // The flag bits the dialog edits; the unit's bit 2 (the burn-out output) travels in
    // burnoutOutput instead.
    static constexpr int ColdJunctionFlag = 1;
    static constexpr int BurnoutDetectionFlag = 2;

    explicit ThermocoupleDialog(QWidget *parent = nullptr);
    ~ThermocoupleDialog() override;

    int type = 0;          // 0 K, 1 J, 2 T, 3 E, 4 N, 5 R, 6 S, 7 B
    int flags = 0;         // ColdJunctionFlag | BurnoutDetectionFlag; other bits cleared on OK
    int burnoutOutput = 0; // 0 "最低値", 1 "最高値"

    void loadFields();
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::ThermocoupleDialog> m_ui;
};

} // namespace qn
