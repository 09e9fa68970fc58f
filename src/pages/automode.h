#pragma once
// One automatic mode of a page: its "自動" box, the period edit in ticks of 100 ms and the
// manual button the mode stands in for. Ticking the box (by mouse, keyboard, assistive tool
// or program alike) reads the period; a valid one switches the mode on and locks the edit
// and the button, an invalid one (the reader has told the operator) unticks the box.
// GUI thread only.
#include <functional>
#include <optional>

class QCheckBox;
class QLineEdit;
class QObject;
class QWidget;

namespace qn {

class AutoMode final {
public:
    // The period typed in the edit, or nullopt once the operator has been told it is not one.
    using PeriodReader = std::function<std::optional<int>(const QLineEdit *)>;

    AutoMode() = default;
    AutoMode(const AutoMode &) = delete;
    AutoMode &operator=(const AutoMode &) = delete;

    // Wires the box's toggled signal (the connection goes with context); changed (may be
    // empty) hears every switch.
    void attach(QObject &context, PeriodReader readPeriod, QCheckBox *check, QLineEdit *periodEdit,
                QWidget *manualButton, std::function<void(bool on)> changed = {});
    // As if the operator ticked or cleared the box. Returns whether the mode is on.
    bool set(bool on);
    bool isOn() const { return m_on; }
    int period() const { return m_period; }
    // One tick of a running mode: true when its period is over (the count starts again).
    bool advance();
    // Whether the next advance() would be due.
    bool dueNext() const { return m_on && m_count + 1 >= m_period; }
    void restart() { m_count = 0; }
    // While blocked (a unit drives the output itself) the box, the edit and the button are
    // all disabled; a running mode goes on.
    void setBlocked(bool blocked);
    bool blocked() const { return m_blocked; }
    QCheckBox *checkBox() const { return m_check; }

private:
    void showEnabled();

    PeriodReader m_read;
    QCheckBox *m_check = nullptr;
    QLineEdit *m_edit = nullptr;
    QWidget *m_manual = nullptr;
    std::function<void(bool)> m_changed;
    bool m_on = false;
    bool m_blocked = false;
    int m_period = 10;
    int m_count = 0;
};

} // namespace qn
