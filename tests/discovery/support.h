#pragma once
// Helpers for the discovery tests: simulated units on loopback addresses sharing
// one free UDP port; the tiny TCP peer that answers with fixed bytes is in
// ../support/faketcpunit.h.

#include "link/discovery.h"
#include "link/net.h"
#include "sim/discoveryresponder.h"
#include "../support/faketcpunit.h"

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

} // namespace qn::test
