#include "unit/cyclerun.h"

#include <type_traits>

namespace qn::unit {

namespace {

using Clock = std::chrono::steady_clock;

struct Runner {
    UnitSession &session;
    std::shared_ptr<CycleRun> run;
    std::function<void(std::shared_ptr<CycleRun>)> finished;
    std::size_t at = 0;
};

void runNext(const std::shared_ptr<Runner> &r);

// A first identification, or one that differs: the rest of the cycle reads the unit afresh.
void identified(Runner &r, const UnitModelId &ids)
{
    CycleRun &run = *r.run;
    if (run.known && run.known->modelId == ids.modelId && run.known->unitId == ids.unitId)
        return;
    run.steps.resize(r.at);
    const std::optional<UnitState> state = stateFor(ids);
    if (!state)
        return; // a model this program does not read: the cycle ends here
    run.model = state->model;
    run.known = ids;
    const RereadPlan plan(state->model, run.scope);
    for (const Step &step : plan.items())
        if (step.item != Item::Identity)
            run.steps.push_back(step);
    run.steps.push_back({Item::Inputs, 0});
}

template <typename T>
UnitSession::Done<T> answerOf(std::shared_ptr<Runner> r, Step step)
{
    return [r = std::move(r), step, sent = Clock::now()](Result<T> result) {
        const Clock::duration took = Clock::now() - sent;
        if (!result) {
            r->run->error = result.error();
            r->run->errorTook = took;
            r->finished(r->run);
            return;
        }
        r->run->answers.push_back({step, *result, took});
        if constexpr (std::is_same_v<T, UnitModelId>)
            identified(*r, *result);
        runNext(r);
    };
}

bool send(const std::shared_ptr<Runner> &r, Step step)
{
    UnitSession &s = r->session;
    const int c = step.channel;
    switch (step.item) {
    case Item::Identity: return s.getUnitModelID(answerOf<UnitModelId>(r, step));
    case Item::Range: return s.getAIRange(c, answerOf<InputRange>(r, step));
    case Item::AdcRate: return s.getADCsps(answerOf<AdcRate>(r, step));
    case Item::Threshold: return s.getADCThreshold(c, answerOf<Threshold>(r, step));
    case Item::Thermocouple: return s.getTCSetting(c, answerOf<ThermocoupleSetting>(r, step));
    case Item::DOAlert: return s.getDOAlert(c, answerOf<DOAlertState>(r, step));
    case Item::DOStates: return s.getDO(answerOf<DigitalOutputs>(r, step));
    case Item::Output: return s.getAO(c, answerOf<AnalogOutput>(r, step));
    case Item::Inputs:
        if (traits(r->run->model).analogInputs > 0)
            return s.getAllAI(answerOf<AnalogInputs>(r, step));
        return s.getDI(0, answerOf<DigitalInputs>(r, step));
    }
    return false;
}

void runNext(const std::shared_ptr<Runner> &r)
{
    if (r->at >= r->run->steps.size()) {
        r->finished(r->run);
        return;
    }
    const Step step = r->run->steps[r->at++];
    if (!send(r, step)) {
        r->run->error = LinkError{}; // the session stops
        r->finished(r->run);
    }
}

} // namespace

void runCycle(UnitSession &session, std::shared_ptr<CycleRun> run,
              std::function<void(std::shared_ptr<CycleRun>)> finished)
{
    runNext(std::make_shared<Runner>(Runner{session, std::move(run), std::move(finished)}));
}

} // namespace qn::unit
