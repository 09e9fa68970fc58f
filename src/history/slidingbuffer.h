#pragma once
#include <algorithm>
#include <cstddef>
#include <vector>

namespace qn {

// A queue kept in one block of memory, appended at the back and dropped from the front,
// for the trend history's samples and run summaries: the selection reads them as plain
// arrays, where a deque works out the block of every entry it is asked for. It holds at
// most `maxSize` entries. Dropped entries stay in front until the room runs out; then the
// live ones move down, which a full buffer does once every maxSize / 8 appends (its room is
// an eighth more than maxSize). Pointers and references to entries last until the next
// append.
template <typename T>
class SlidingBuffer {
public:
    explicit SlidingBuffer(std::size_t maxSize) : m_maxSize(maxSize) {}
    std::size_t size() const { return m_data.size() - m_head; }
    bool empty() const { return size() == 0; }
    const T &operator[](std::size_t i) const { return m_data[m_head + i]; }
    const T *begin() const { return m_data.data() + m_head; }
    const T *end() const { return m_data.data() + m_data.size(); }
    const T &front() const { return m_data[m_head]; }
    const T &back() const { return m_data.back(); }
    T &back() { return m_data.back(); }
    void push_back(const T &value)
    {
        makeRoom();
        m_data.push_back(value);
    }
    void pop_front()
    {
        if (++m_head == m_data.size())
            clear();
    }
    void clear()
    {
        m_data.clear();
        m_head = 0;
    }
    void release()
    {
        std::vector<T>().swap(m_data);
        m_head = 0;
    }

private:
    void makeRoom()
    {
        if (m_data.size() < m_data.capacity())
            return;
        const std::size_t most = m_maxSize + m_maxSize / 8 + 1;
        if (m_head > 0 && (m_head * 8 >= m_data.size() || m_data.capacity() >= most)) {
            m_data.erase(m_data.begin(), m_data.begin() + std::ptrdiff_t(m_head));
            m_head = 0;
            return;
        }
        m_data.reserve(std::max({std::size_t(16), m_data.size() + 1, std::min(2 * m_data.capacity(), most)}));
    }

    std::vector<T> m_data;
    std::size_t m_head = 0;
    std::size_t m_maxSize;
};

} // namespace qn
