#pragma once
// qnsim in a process of its own on loopback, for the tests and the benchmarks that need
// the simulator outside the measuring process: its units' TCP ports read from its start-up
// lines, and SIGTERM to end it. POSIX only; on Windows start() fails.
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <csignal>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;
#endif

namespace qn::test {

#ifdef _WIN32
class QnsimProcess {
public:
    bool start(std::vector<std::string>, int) { return false; }
    std::string nextLine() { return {}; }
    bool waitForLine(const std::string &) { return false; }
    int stop() { return -1; }
    int stopWithin(int) { return -1; }
    std::vector<int> ports;
};
#else
class QnsimProcess {
public:
    // Starts qnsim with the arguments and reads the TCP port of each of its n units.
    bool start(std::vector<std::string> args, int units)
    {
        int fds[2];
        if (pipe(fds) != 0)
            return false;
        args.insert(args.begin(), std::string(QN_BIN_DIR) + "/qnsim");
        std::vector<char *> argv;
        for (auto &a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
        posix_spawn_file_actions_addclose(&actions, fds[0]);
        const int rc = posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        close(fds[1]);
        if (rc != 0) {
            close(fds[0]);
            m_pid = -1;
            return false;
        }
        m_out = fdopen(fds[0], "r");
        char line[256];
        while (int(ports.size()) < units && std::fgets(line, sizeof line, m_out)) {
            const char *at = std::strstr(line, " at ");
            const char *colon = at ? std::strchr(at + 4, ':') : nullptr;
            unsigned port = 0;
            if (colon && std::sscanf(colon + 1, "%u", &port) == 1)
                ports.push_back(int(port));
        }
        return int(ports.size()) == units;
    }
    // The next line qnsim prints (empty at its end).
    std::string nextLine()
    {
        char line[256];
        return m_out && std::fgets(line, sizeof line, m_out) ? std::string(line) : std::string();
    }
    // Reads qnsim's lines up to this one (with its line end); false if qnsim ends first.
    bool waitForLine(const std::string &wanted)
    {
        for (std::string line = nextLine(); !line.empty(); line = nextLine())
            if (line == wanted)
                return true;
        return false;
    }
    // SIGTERM and the exit status.
    int stop()
    {
        if (m_pid <= 0)
            return -1;
        kill(m_pid, SIGTERM);
        int status = 0;
        waitpid(m_pid, &status, 0);
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    // SIGTERM once, then the exit status if qnsim ends within ms; -2 (and SIGKILL)
    // if it is still running then.
    int stopWithin(int ms)
    {
        if (m_pid <= 0)
            return -1;
        kill(m_pid, SIGTERM);
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
        int status = 0;
        while (waitpid(m_pid, &status, WNOHANG) == 0) {
            if (std::chrono::steady_clock::now() > until) {
                kill(m_pid, SIGKILL);
                waitpid(m_pid, &status, 0);
                m_pid = -1;
                return -2;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        m_pid = -1;
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
    ~QnsimProcess()
    {
        stop();
        if (m_out)
            std::fclose(m_out);
    }
    pid_t pid() const { return m_pid; }
    std::vector<int> ports;

private:
    pid_t m_pid = -1;
    FILE *m_out = nullptr;
};

#endif

} // namespace qn::test
