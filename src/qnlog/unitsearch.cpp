#include "qnlog/unitsearch.h"

#include "link/discovery.h"
#include "qnlog/logservice.h"

#include <QPointer>
#include <QThreadPool>

#include <cstdio>

namespace qn::logsvc {

UnitSearch::UnitSearch(SearchTarget target, LogService &service) : m_target(std::move(target)), m_service(service)
{
    connect(&m_repeat, &QTimer::timeout, this, &UnitSearch::search);
}

UnitSearch::~UnitSearch() = default;

void UnitSearch::start()
{
    search();
    if (m_target.intervalSeconds > 0)
        m_repeat.start(m_target.intervalSeconds * 1000);
}

void UnitSearch::search()
{
    if (m_running->exchange(true))
        return;
    QPointer<UnitSearch> self(this);
    const SearchTarget target = m_target;
    std::shared_ptr<std::atomic<bool>> running = m_running;
    // A search waits seconds for answers: it runs beside the main thread.
    QThreadPool::globalInstance()->start([self, target, running] {
        UnitTable table;
        const SearchOutcome found = searchUnits(table, target.broadcast.toStdString(), uint16_t(target.udpPort));
        QMetaObject::invokeMethod(self.data(), [self, target, table, found, running] {
            running->store(false);
            if (!self)
                return;
            if (!found.done()) {
                std::fprintf(stderr, "qnlog: the search on %s could not be sent\n", qPrintable(target.broadcast));
                return;
            }
            for (const UnitEntry &e : table.entries())
                if (e.tcpPort == target.tcpPort)
                    self->m_service.addUnit(QString::fromStdString(e.ipText), e.tcpPort, target.period, target.broadcast);
        }, Qt::QueuedConnection);
    });
}

} // namespace qn::logsvc
