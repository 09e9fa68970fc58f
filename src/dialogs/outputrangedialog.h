#pragma once
// "V/I": chooses the range of one analog output, "±10V" or "0-20mA". The item's index
// is the output mode itself. The owner sets rangeIndex to the channel's mode, runs the
// dialog (runDialog) and compares rangeIndex with the mode after OK. GUI thread only.
#include <QDialog>

#include <memory>

namespace Ui { class OutputRangeDialog; }

namespace qn {

class OutputRangeDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OutputRangeDialog(QWidget *parent = nullptr);
    ~OutputRangeDialog() override;

    int rangeIndex = -1; // -1: nothing selected

    void loadFields();
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    std::unique_ptr<Ui::OutputRangeDialog> m_ui;
};

} // namespace qn
