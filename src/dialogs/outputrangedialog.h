#pragma once
// "V/I": chooses the range of one analog output, "±10V" or "0-20mA". The item's index
// is the output mode itself. The owner opens it with the channel's mode, runs it
// (runDialog) and compares mode() with it after OK. GUI thread only.
#include <QDialog>

#include <memory>

namespace Ui { class OutputRangeDialog; }

namespace qn {

class OutputRangeDialog final : public QDialog {
    Q_OBJECT
public:
    explicit OutputRangeDialog(int mode = -1, QWidget *parent = nullptr);
    ~OutputRangeDialog() override;

    // The chosen mode; -1: nothing selected.
    int mode() const { return m_mode; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadFields();

    std::unique_ptr<Ui::OutputRangeDialog> m_ui;
    int m_mode;
};

} // namespace qn
