#pragma once
// "換算式と単位の設定": edits one channel's conversion formula (value × factor + offset),
// the unit text of the converted value and the channel's graph display range.
// The owner opens it with the formula it shows, runs it (runDialog) and takes formula()
// after OK (a number whose text was left as shown comes back unrounded); after Escape
// or the close box formula() is what the dialog opened with. GUI thread only.
#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui { class FormulaDialog; }

namespace qn {

// One channel's conversion into the operator's unit and the range its graph shows.
struct Formula {
    double factor = 1.0; // converted = value * factor + offset
    double offset = 0.0;
    QString unit;
    double graphMin = 0.0;
    double graphMax = 0.0;
};

class FormulaDialog final : public QDialog {
    Q_OBJECT
public:
    // The label texts of an input page (measured value) or an output page (set value).
    enum class Side { Input, Output };

    explicit FormulaDialog(const Formula &shown = {}, Side side = Side::Input, QWidget *parent = nullptr);
    ~FormulaDialog() override;

    static constexpr int UnitMaxLength = 8;

    // What the operator confirmed with OK; until then what the dialog opened with.
    Formula formula() const { return m_formula; }

    // Reads the controls into formula() and closes with OK.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::FormulaDialog> m_ui;
    Formula m_formula;
    std::array<QString, 4> m_shown; // factor, offset, graphMin, graphMax as opened
};

} // namespace qn
