#pragma once
// "換算式と単位の設定": edits one channel's conversion formula (value × factor + offset),
// the unit text of the converted value and the channel's graph display range.
// The owner fills the public fields, runs the dialog (runDialog) and reads them back
// after OK (a number whose text was left as shown comes back unrounded); after Escape
// or the close box the fields are left as they were. GUI thread only.
#include <QDialog>
#include <QString>

#include <array>
#include <memory>

namespace Ui { class FormulaDialog; }

namespace qn {

class FormulaDialog final : public QDialog {
    Q_OBJECT
public:
    explicit FormulaDialog(QWidget *parent = nullptr);
    ~FormulaDialog() override;

    // Labels by page kind.
    static const QString InputFactorLabel;   // "測定値 ×"
    static const QString InputResultLabel;   // "＝ 表示値"
    static const QString InputUnitLabel;     // "表示値の単位:"
    static const QString OutputFactorLabel;  // "出力設定値 ×"
    static const QString OutputResultLabel;  // "＝ 換算出力値"
    static const QString OutputUnitLabel;    // "換算出力値の単位:"
    static constexpr int UnitMaxLength = 8;

    double factor = 1.0;
    double offset = 0.0;
    QString unit;
    double graphMin = 0.0;
    double graphMax = 0.0;
    QString factorLabel;
    QString resultLabel;
    QString unitLabel;

    // The label texts of an input page (measured value) or an output page (set value).
    enum class Side { Input, Output };
    void useLabelsOf(Side side);

    // Puts the fields into the controls; runs when the dialog is shown.
    void loadFields();
    // Reads the controls into the fields and closes with OK.
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::FormulaDialog> m_ui;
    std::array<QString, 4> m_shown; // factor, offset, graphMin, graphMax as opened
};

} // namespace qn
