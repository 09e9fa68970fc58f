#pragma once
// Helpers for the discovery tests: simulated units on loopback addresses sharing
// one free UDP port, and a tiny TCP peer that answers one request with fixed bytes.

#include "link/discovery.h"
#include "link/net.h"
#include "sim/discoveryresponder.h"

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace qn::test {

// Units on 127.0.0.x all answering on one UDP port. The first unit picks a free
// port; the rest join it.
class UnitGroup {
public:
    explicit UnitGroup(uint16_t port = 0) : m_port(port) {}

    sim::DiscoveryResponder &add(sim::ResponderConfig config)
    {
        config.udpPort = m_port;
        auto r = std::make_unique<sim::DiscoveryResponder>(std::move(config));
        std::string error;
        if (!r->start(&error))
            throw std::runtime_error(error);
        m_port = r->udpPort();
        m_units.push_back(std::move(r));
        return *m_units.back();
    }
    sim::DiscoveryResponder &operator[](std::size_t i) { return *m_units[i]; }
    uint16_t port() const { return m_port; }

private:
    uint16_t m_port;
    std::vector<std::unique_ptr<sim::DiscoveryResponder>> m_units;
};

inline sim::ResponderConfig unit(const std::string &ip, uint16_t tcpPort, uint8_t macLast)
{
    sim::ResponderConfig c;
    c.unitIp = ip;
    c.tcpPort = tcpPort;
    c.mac = {0x00, 0x80, 0x92, 0x12, 0x34, macLast};
    return c;
}

// Accepts connections on 127.0.0.1 and answers each with `reply`, sent in pieces
// of `chunk` bytes with `gapMs` between them, then closes (unless silent).
class FakeTcpUnit {
public:
    FakeTcpUnit(std::vector<uint8_t> reply, bool silent = false, std::size_t chunk = 0, int gapMs = 0)
        : m_reply(std::move(reply)), m_silent(silent), m_chunk(chunk), m_gapMs(gapMs)
    {
        int err = 0;
        m_listener = net::Socket::tcp(err);
        m_listener.setReuseAddress(true);
        m_listener.bind(net::Address{0x7F000001, 0});
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
