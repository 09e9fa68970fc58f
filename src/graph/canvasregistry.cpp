#include "graph/canvasregistry.h"

#include "graph/trendcanvas.h"

#include <algorithm>

namespace qn {

CanvasRegistry &CanvasRegistry::instance()
{
    static CanvasRegistry registry;
    return registry;
}

TrendCanvas *CanvasRegistry::createCanvas(QWidget *parent, int x, int y, int width, int height, int controlId,
                                          bool withScrollStrip)
{
    auto slot = std::find_if(m_slots.begin(), m_slots.end(), [](const QPointer<TrendCanvas> &p) { return p.isNull(); });
    if (slot == m_slots.end())
        return nullptr;
    const int id = controlId == 0 ? m_lastId + 1 : controlId;
    m_lastId = id;
    // A canvas deleted with its parent widget empties its slot by itself (QPointer).
    *slot = new TrendCanvas(parent, x, y, width, height, id, withScrollStrip);
    return *slot;
}

TrendCanvas *CanvasRegistry::find(int controlId) const
{
    for (const auto &p : m_slots)
        if (p && p->id() == controlId)
            return p;
    return nullptr;
}

void CanvasRegistry::remove(int controlId)
{
    for (auto &p : m_slots) {
        if (p && p->id() == controlId) {
            TrendCanvas *canvas = p;
            p = nullptr;
            delete canvas; // releases its series and its scroll strip
            return;
        }
    }
}

void CanvasRegistry::setNextId(int id)
{
    if (id > 0)
        m_lastId = id - 1;
}

} // namespace qn
