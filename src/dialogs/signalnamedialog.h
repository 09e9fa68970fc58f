#pragma once
// "信号名の編集": edits one channel's signal name (at most 16 characters, and no more
// than the settings file keeps).
// The owner opens it with the name it shows, runs it (runDialog) and takes name() after
// OK; after Escape or the close box name() is the name it opened with. GUI thread only.
#include <QDialog>
#include <QString>

#include <memory>

namespace Ui { class SignalNameDialog; }

namespace qn {

class SignalNameDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SignalNameDialog(const QString &name = {}, QWidget *parent = nullptr);
    ~SignalNameDialog() override;

    static constexpr int NameMaxLength = 16;
    // What the settings file keeps of a name, in code page 932 bytes: sixteen
    // double-byte characters would not survive a restart, so the edit stops at 31 bytes.
    static constexpr int NameMaxBytes = 31;

    QString name() const { return m_name; }
    void accept() override;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void loadFields();

    std::unique_ptr<Ui::SignalNameDialog> m_ui;
    QString m_name;
};

} // namespace qn
