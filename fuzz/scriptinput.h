#pragma once
// What the fuzzers that play a script (sockets, connections) share: a check that names
// the broken rule's line, which the crash's stack does not always show, and the input
// read front to back as the script's bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

inline void checkAt(bool condition, const char *file, int line)
{
    if (!condition) {
        std::fprintf(stderr, "%s:%d: check failed\n", file, line);
        std::abort();
    }
}
#define check(condition) checkAt(condition, __FILE__, __LINE__)

// Zeros once the input is used up.
class InputReader {
public:
    InputReader(const uint8_t *data, size_t size) : m_data(data), m_size(size) {}
    bool done() const { return m_pos >= m_size; }
    uint8_t next() { return m_pos < m_size ? m_data[m_pos++] : 0; }

private:
    const uint8_t *m_data;
    size_t m_size;
    size_t m_pos = 0;
};
