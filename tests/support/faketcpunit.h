#pragma once
// A tiny TCP peer on loopback that answers each request with fixed bytes: a unit's
// identification reply, a short or slow one, or silence.
#include "link/net.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qn::test {

// Accepts connections on `ip` (127.0.0.1 unless given) and answers each with `reply`, sent in pieces
// of `chunk` bytes with `gapMs` between them, then closes (unless silent).
class FakeTcpUnit {
public:
    explicit FakeTcpUnit(std::vector<uint8_t> reply, bool silent = false, std::size_t chunk = 0, int gapMs = 0,
                         const std::string &ip = "127.0.0.1")
        : m_reply(std::move(reply)), m_silent(silent), m_chunk(chunk), m_gapMs(gapMs)
    {
        int err = 0;
        m_listener = net::Socket::tcp(err);
        m_listener.setReuseAddress(true);
        m_listener.bind(net::Address{*net::parseIpv4(ip), 0});
        m_listener.listen(4);
        m_port = m_listener.localAddress()->port;
        m_thread = std::thread([this] { run(); });
    }
    ~FakeTcpUnit()
    {
        m_stop = true;
        m_listener.shutdownBoth();
        m_thread.join();
    }
    uint16_t port() const { return m_port; }
    int requests() const { return m_requests; }
    std::vector<uint8_t> lastRequest() const
    {
        std::lock_guard lock(m_mutex);
        return m_lastRequest;
    }

private:
    void run()
    {
        while (!m_stop) {
            int err = 0;
            net::Socket c = m_listener.accept(nullptr, err);
            if (!c.valid() || m_stop)
                return;
            uint8_t buffer[64];
            c.setReceiveTimeout(2000);
            const long n = c.receive(buffer, sizeof buffer, err);
            if (n <= 0)
                continue;
            {
                std::lock_guard lock(m_mutex);
                m_lastRequest.assign(buffer, buffer + n);
            }
            ++m_requests;
            if (m_silent) {
                // keep the connection open until the client gives up
                c.receive(buffer, sizeof buffer, err);
                continue;
            }
            const std::size_t step = m_chunk ? m_chunk : m_reply.size();
            for (std::size_t at = 0; at < m_reply.size(); at += step) {
                c.send(m_reply.data() + at, std::min(step, m_reply.size() - at), err);
                if (m_gapMs)
                    std::this_thread::sleep_for(std::chrono::milliseconds(m_gapMs));
            }
        }
    }

    std::vector<uint8_t> m_reply;
    bool m_silent;
    std::size_t m_chunk;
    int m_gapMs;
    net::Socket m_listener;
    uint16_t m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_requests{0};
    mutable std::mutex m_mutex;
    std::vector<uint8_t> m_lastRequest;
    std::thread m_thread;
};

} // namespace qn::test
