#pragma once
// One cycle of a unit core's requests, run one after the other on the session's worker: each
// reply is kept and the next request sent from the completion, so a cycle costs one hand-over
// to the owner's thread however many requests it holds. An identification that differs from
// the one the cycle started with (or the first one) makes the rest of the cycle the start-up
// reads of the model it names. Owned by the worker while it runs, by the owner afterwards.
#include "link/unitsession.h"
#include "unit/rereadplan.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <variant>
#include <vector>

namespace qn::unit {

using Reply = std::variant<UnitModelId, InputRange, AdcRate, Threshold, ThermocoupleSetting, DOAlertState,
                           DigitalOutputs, AnalogOutput, AnalogInputs, DigitalInputs>;

struct Answered {
    Step step;
    Reply reply;
    std::chrono::steady_clock::duration took;
};

struct CycleRun {
    std::vector<Step> steps;
    RereadScope scope = RereadScope::Everything;
    Model model = Model::QN210;        // the model the Inputs step reads
    std::optional<UnitModelId> known;  // the identification the unit's state was made for
    std::vector<Answered> answers;     // in order
    std::optional<LinkError> error;    // the request that failed ended the cycle
    std::chrono::steady_clock::duration errorTook{};
};

// Runs the cycle's steps; `finished` is called once, on the worker (or here, when the session
// is stopping), with the cycle.
void runCycle(UnitSession &session, std::shared_ptr<CycleRun> run,
              std::function<void(std::shared_ptr<CycleRun>)> finished);

} // namespace qn::unit
