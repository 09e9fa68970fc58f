#pragma once
// What one simulated unit does with a request: its state, its moving readings and
// its answers. No sockets and no locking here; the Simulator serialises access.

#include "sim/simulator.h"

#include <random>
#include <vector>

namespace qn::sim {

class UnitModel final {
public:
    UnitModel(const UnitConfig &config, uint32_t seed);

    UnitState &state() { return m_state; }
    const UnitState &state() const { return m_state; }

    // The answer to one whole request (letters to terminator) at time t seconds
    // since the unit started; empty when the request is not understood.
    std::vector<uint8_t> answer(const uint8_t *request, std::size_t size, double t);

    // Readings at time t (pins applied); exposed for tests of the signals.
    int aiCode(int channel, double t);
    int diBits(double t) const;
    // DO outputs as driven: the written pattern with the DO alerts of a QN-220 applied.
    int doOutputs(double t);

    int diCount() const;
    int aoCount() const;
    bool hasAnalogInputs() const;

private:
    void updateAlerts(double t);

    UnitConfig m_config;
    UnitState m_state;
    std::mt19937 m_random;
    std::array<bool, 2> m_alertOn{};
};

} // namespace qn::sim
