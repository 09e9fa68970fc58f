#pragma once
// "熱電対測定設定": a QN-220 input's thermocouple type, cold-junction compensation,
// burn-out detection and what the input reads on a burn-out. The owner opens it with the
// input's choice, runs it (runDialog) and takes choice() after OK; OK is the only button,
// Escape and the close box cancel and leave choice() as it opened. GUI thread only.
#include <QDialog>

#include <memory>

namespace Ui { class ThermocoupleDialog; }

namespace qn {

// What the dialog edits of an input's thermocouple setting.
struct ThermocoupleChoice {
    int type = 0;          // 0 K, 1 J, 2 T, 3 E, 4 N, 5 R, 6 S, 7 B; -1 after OK with no list item chosen
    int flags = 0;         // ThermocoupleDialog::ColdJunctionFlag | BurnoutDetectionFlag; other bits cleared on OK
    int burnoutOutput = 0; // 0 "最低値", 1 "最高値"; -1 as type
};

class ThermocoupleDialog final : public QDialog {
    Q_OBJECT
public:
    // The flag bits the dialog edits; the unit's bit 2 (the burn-out output) travels in
    // burnoutOutput instead.
    static constexpr int ColdJunctionFlag = 1;
    static constexpr int BurnoutDetectionFlag = 2;

    explicit ThermocoupleDialog(const ThermocoupleChoice &shown = {}, QWidget *parent = nullptr);
    ~ThermocoupleDialog() override;

    ThermocoupleChoice choice() const { return m_choice; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadFields();

    std::unique_ptr<Ui::ThermocoupleDialog> m_ui;
    ThermocoupleChoice m_choice;
};

} // namespace qn
