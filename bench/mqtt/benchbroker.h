#pragma once
// A mosquitto of the benchmark run's own, or the run skipped with the reason.
#include "mosquitto.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace qn::test {

inline std::unique_ptr<Mosquitto> startBroker(benchmark::State &state, const std::filesystem::path &dir)
{
    auto broker = std::make_unique<Mosquitto>(dir);
    if (broker->start())
        return broker;
    state.SkipWithError("mosquitto did not start");
    return nullptr;
}

} // namespace qn::test
