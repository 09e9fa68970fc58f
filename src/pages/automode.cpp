#include "pages/automode.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalBlocker>

namespace qn {

void AutoMode::attach(QObject &context, PeriodReader readPeriod, QCheckBox *check, QLineEdit *periodEdit,
                      QWidget *manualButton, std::function<void(bool)> changed)
{
    m_read = std::move(readPeriod);
    m_check = check;
    m_edit = periodEdit;
    m_manual = manualButton;
    m_changed = std::move(changed);
    // toggled, not clicked: a box ticked by keyboard, an assistive tool or the program
    // must start and stop the mode just as a click does.
    QObject::connect(check, &QCheckBox::toggled, &context, [this](bool on) { set(on); });
}

bool AutoMode::set(bool on)
{
    bool active = false;
    if (on) {
        m_count = 0;
        // The box shows the tick while an invalid period is being reported.
        {
            QSignalBlocker block(m_check);
            m_check->setChecked(true);
        }
        if (const std::optional<int> typed = m_read(m_edit)) {
            m_period = *typed;
            active = true;
        }
    }
    {
        QSignalBlocker block(m_check);
        m_check->setChecked(active);
    }
    m_on = active;
    showEnabled();
    if (m_changed)
        m_changed(active);
    return active;
}

bool AutoMode::advance()
{
    if (!m_on)
        return false;
    if (++m_count < m_period)
        return false;
    m_count = 0;
    return true;
}

void AutoMode::setBlocked(bool blocked)
{
    m_blocked = blocked;
    showEnabled();
}

void AutoMode::showEnabled()
{
    m_check->setEnabled(!m_blocked);
    m_edit->setEnabled(!m_blocked && !m_on);
    m_manual->setEnabled(!m_blocked && !m_on);
}

} // namespace qn
