#pragma once
// Shared by the benchmarks that poll many units: qnsim in a process of its own (so that only
// the pollers' cost lands on the measuring side) and the CPU time of a process.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

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

// qnsim with n units on 127.0.0.1 (free ports). Ports are read from its start-up lines.
struct SimProcess {
    pid_t pid = -1;
    std::vector<uint16_t> ports;
    bool start(int n)
    {
        int pipeFds[2];
        if (pipe(pipeFds) != 0)
            return false;
        std::vector<std::string> args{QN_BIN_DIR "/qnsim"};
        for (int i = 0; i < n; ++i) {
            args.push_back("--unit");
            args.push_back("QN-210:" + std::to_string(i % 16) + ":127.0.0.1:0");
        }
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        if (rc != 0) {
            ::close(pipeFds[0]);
            return false;
        }
        FILE *out = fdopen(pipeFds[0], "r");
        char line[256];
        while (int(ports.size()) < n && std::fgets(line, sizeof line, out)) {
            const char *colon = std::strrchr(line, ':');
            const char *at = std::strstr(line, " at ");
            if (!at)
                continue;
            unsigned port = 0;
            if (std::sscanf(std::strchr(at + 4, ':') + 1, "%u", &port) == 1)
                ports.push_back(uint16_t(port));
            (void)colon;
        }
        std::fclose(out);
        return int(ports.size()) == n;
    }
    ~SimProcess()
    {
        if (pid > 0) {
            kill(pid, SIGTERM);
            int status;
            waitpid(pid, &status, 0);
        }
    }
};

} // namespace qn::bench
