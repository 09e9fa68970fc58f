#pragma once
// Shared by the benchmarks that poll many units: qnsim in a process of its own (so that only
// the pollers' cost lands on the measuring side) and the CPU time of a process.
#include "../../tests/support/qnsimprocess.h"

#include <cstdint>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace qn::bench {

inline double cpuSecondsSelf()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

inline double cpuSecondsOf(pid_t pid)
{
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string all((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t close = all.rfind(')');
    if (close == std::string::npos)
        return 0;
    std::vector<std::string> fields;
    std::size_t from = close + 2;
    while (from < all.size()) {
        std::size_t sp = all.find(' ', from);
        if (sp == std::string::npos)
            sp = all.size();
        fields.push_back(all.substr(from, sp - from));
        from = sp + 1;
    }
    // utime and stime are fields 14 and 15 of the line, 12 and 13 after the name.
    if (fields.size() < 13)
        return 0;
    return double(std::stoll(fields[11]) + std::stoll(fields[12])) / double(sysconf(_SC_CLK_TCK));
}

// qnsim with n QN-210 units on 127.0.0.1 (free ports).
struct SimProcess {
    std::vector<uint16_t> ports;
    bool start(int n)
    {
        std::vector<std::string> args;
        for (int i = 0; i < n; ++i) {
            args.push_back("--unit");
            args.push_back("QN-210:" + std::to_string(i % 16) + ":127.0.0.1:0");
        }
        if (!m_process.start(args, n))
            return false;
        ports.assign(m_process.ports.begin(), m_process.ports.end());
        return true;
    }
    pid_t pid() const { return m_process.pid(); }

private:
    test::QnsimProcess m_process;
};

} // namespace qn::bench
