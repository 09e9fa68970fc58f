#pragma once
// A program the MQTT tests start and talk to: its standard input, output and error are
// pipes, read line by line with a time-out. POSIX only.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

namespace qn::test {

class Child final {
public:
    enum Stream { Out = 0, Err = 1 };

    explicit Child(const std::vector<std::string> &argv)
    {
        int in[2], out[2], err[2];
        if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
            return;
        m_pid = fork();
        if (m_pid == 0) {
            dup2(in[0], 0);
            dup2(out[1], 1);
            dup2(err[1], 2);
            for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
                close(fd);
            std::vector<char *> args;
            for (const std::string &a : argv)
                args.push_back(const_cast<char *>(a.c_str()));
            args.push_back(nullptr);
            execv(args[0], args.data());
            _exit(127);
        }
        close(in[0]);
        close(out[1]);
        close(err[1]);
        m_in = in[1];
        m_fd[Out] = out[0];
        m_fd[Err] = err[0];
        signal(SIGPIPE, SIG_IGN);
    }
    ~Child()
    {
        if (m_pid > 0)
            stop(SIGKILL);
        for (int fd : {m_in, m_fd[Out], m_fd[Err]})
            if (fd >= 0)
                close(fd);
    }
    Child(const Child &) = delete;
    Child &operator=(const Child &) = delete;

    pid_t pid() const { return m_pid; }
    bool running() const { return m_pid > 0; }

    void send(const std::string &line)
    {
        const std::string text = line + '\n';
        [[maybe_unused]] const ssize_t n = write(m_in, text.data(), text.size());
    }

    // The next line of `stream`, or false at its end or after `timeout`.
    bool readLine(Stream stream, std::string &line, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string &buffer = m_buffer[stream];
        for (;;) {
            if (const auto end = buffer.find('\n'); end != std::string::npos) {
                line = buffer.substr(0, end);
                buffer.erase(0, end + 1);
                m_seen[stream] += line + '\n';
                return true;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            pollfd p{m_fd[stream], POLLIN, 0};
            if (poll(&p, 1, int(left.count())) <= 0)
                return false;
            char chunk[4096];
            const ssize_t n = read(m_fd[stream], chunk, sizeof chunk);
            if (n <= 0)
                return false;
            buffer.append(chunk, std::size_t(n));
        }
    }

    // Reads `stream` until a line holding `text`; false when none came in `timeout`.
    bool waitFor(Stream stream, const std::string &text, std::chrono::milliseconds timeout = std::chrono::seconds(30))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        std::string line;
        while (readLine(stream, line,
                        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now())))
            if (line.find(text) != std::string::npos)
                return true;
        return false;
    }
    // Every line read from `stream` so far, for a failure message.
    const std::string &seen(Stream stream) const { return m_seen[stream]; }

    // Sends `sig` and waits for the end; the wait status.
    int stop(int sig)
    {
        int status = -1;
        if (m_pid > 0) {
            kill(m_pid, sig);
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
        return status;
    }
    // Waits for the program to end by itself.
    int wait()
    {
        int status = -1;
        if (m_pid > 0) {
            waitpid(m_pid, &status, 0);
            m_pid = -1;
        }
        return status;
    }

private:
    pid_t m_pid = -1;
    int m_in = -1;
    int m_fd[2] = {-1, -1};
    std::string m_buffer[2], m_seen[2];
};

} // namespace qn::test
