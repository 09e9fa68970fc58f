#pragma once
// Where the trend canvases of the program live and get their control IDs.
// GUI thread only.
#include <QPointer>

#include <array>

class QWidget;

namespace qn {

class TrendCanvas;

class CanvasRegistry final {
public:
    static constexpr int kSlots = 128;

    static CanvasRegistry &instance();

    // A canvas in parent at (x, y), width x height pixels; controlId 0 takes the next
    // automatic ID. nullptr when all 128 slots are in use. The canvas is a child widget of
    // parent (so Qt deletes it with the parent); remove() deletes it earlier.
    TrendCanvas *createCanvas(QWidget *parent, int x, int y, int width, int height, int controlId,
                              bool withScrollStrip);
    TrendCanvas *find(int controlId) const;
    // Deletes the canvas with this ID and its series and scroll strip; the slot becomes free.
    void remove(int controlId);
    // The next automatic ID will be id (ignored unless id > 0). IDs are never reused.
    void setNextId(int id);
    int lastId() const { return m_lastId; }

private:
    CanvasRegistry() = default;
    std::array<QPointer<TrendCanvas>, kSlots> m_slots;
    int m_lastId = 1110;
};

} // namespace qn
