#pragma once
// A [search] of the logging service: every unit that answers a search on a broadcast
// address is logged; the search is repeated to find units switched on later.
#include "qnlog/serviceconfig.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <memory>

namespace qn::logsvc {

class LogService;

class UnitSearch final : public QObject {
    Q_OBJECT
public:
    UnitSearch(SearchTarget target, LogService &service);
    ~UnitSearch() override;
    void start();
    const SearchTarget &target() const { return m_target; }
    bool busy() const { return *m_running; }

private:
    void search();

    const SearchTarget m_target;
    LogService &m_service;
    QTimer m_repeat;
    std::shared_ptr<std::atomic<bool>> m_running = std::make_shared<std::atomic<bool>>(false);
};

} // namespace qn::logsvc
