#pragma once
// A full disk, as far as this process sees it: writes that would make a file longer
// than the limit fail with EFBIG (SIGXFSZ is ignored meanwhile). POSIX only.
#ifndef _WIN32
#include <algorithm>
#include <csignal>
#include <sys/resource.h>

namespace qn::test {

// Held for a scope; set() moves the limit, lift() takes it away early.
class FileSizeLimit final {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        set(bytes);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    void set(rlim_t bytes)
    {
        rlimit limit = m_old;
        limit.rlim_cur = std::min(bytes, m_old.rlim_max);
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    void lift() { setrlimit(RLIMIT_FSIZE, &m_old); }

private:
    rlimit m_old{};
    void (*m_oldHandler)(int) = nullptr;
};

} // namespace qn::test
#endif
