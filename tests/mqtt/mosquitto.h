#pragma once
// Debian's mosquitto, started by a test on a free loopback port with a configuration of the
// test's own, in a folder of the test's own; stopped (and its database saved) at the end.
#include "child.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

namespace qn::test {

// A loopback port nothing listens on just now.
inline int freeLoopbackPort()
{
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof a;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr *>(&a), &length) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

// A folder of its own under the system's temporary folder, removed at the end.
struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "qnmqtt-XXXXXX").string();
        path = mkdtemp(pattern.data());
    }
    ~TempDir()
    {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

class Mosquitto final {
public:
    // `config`: lines after the listener's (its TLS files, a password file, ...).
    Mosquitto(std::filesystem::path dir, std::string config = {}) : m_dir(std::move(dir)), m_port(freeLoopbackPort())
    {
        std::ofstream conf(m_dir / "mosquitto.conf");
        if (geteuid() == 0)
            conf << "user root\n"; // else it would change to a user that cannot read our folder
        conf << "listener " << m_port << " 127.0.0.1\n"
             << "persistence true\npersistence_location " << m_dir.string() << "/\n"
             << "max_queued_messages 0\nlog_dest stderr\nlog_type error\nlog_type warning\nlog_type notice\n"
             << "log_type information\n"
             << (config.find("allow_anonymous") == std::string::npos ? "allow_anonymous true\n" : "") << config;
    }

    bool start()
    {
        m_process = std::make_unique<Child>(std::vector<std::string>{"/usr/sbin/mosquitto", "-c", (m_dir / "mosquitto.conf").string()});
        return m_process->waitFor(Child::Err, " running");
    }
    // SIGTERM: it saves its database (the sessions and queued messages) and ends.
    void stop()
    {
        if (m_process)
            m_process->stop(SIGTERM);
        m_process.reset();
    }
    ~Mosquitto() { stop(); }

    int port() const { return m_port; }
    pid_t pid() const { return m_process ? m_process->pid() : -1; }
    std::string uri(const char *scheme = "tcp") const { return std::string(scheme) + "://127.0.0.1:" + std::to_string(m_port); }
    const std::filesystem::path &dir() const { return m_dir; }

private:
    std::filesystem::path m_dir;
    int m_port;
    std::unique_ptr<Child> m_process;
};

// Runs a shell command (openssl, mosquitto_passwd) quietly; true when it succeeded.
inline bool run(const std::string &command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// A CA and a broker certificate it signed for 127.0.0.1 in `dir` (ca.pem, server.pem,
// server.key), plus a second CA (other-ca.pem) that signed nothing.
inline bool makeCertificates(const std::filesystem::path &dir)
{
    const std::string d = dir.string();
    const std::string key = "-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes";
    return run("openssl req -x509 " + key + " -keyout " + d + "/ca.key -out " + d + "/ca.pem -days 2 -subj /CN=qn-test-ca") &&
           run("openssl req -x509 " + key + " -keyout " + d + "/other-ca.key -out " + d +
               "/other-ca.pem -days 2 -subj /CN=qn-other-ca") &&
           run("openssl req " + key + " -keyout " + d + "/server.key -out " + d + "/server.csr -subj /CN=127.0.0.1") &&
           run("printf 'subjectAltName=IP:127.0.0.1' > " + d + "/san.ext") &&
           run("openssl x509 -req -in " + d + "/server.csr -CA " + d + "/ca.pem -CAkey " + d + "/ca.key -CAcreateserial -out " +
               d + "/server.pem -days 2 -extfile " + d + "/san.ext");
}

} // namespace qn::test
