#include "unit/unitcore.h"

#include <cassert>
#include <type_traits>
#include <utility>

namespace qn::unit {

namespace {

// The moment all cores count their periods from.
UnitCore::Clock::time_point scheduleEpoch()
{
    static const UnitCore::Clock::time_point epoch = UnitCore::Clock::now();
    return epoch;
}

} // namespace

UnitCore::UnitCore(Listener &listener, Options options)
    : m_listener(listener), m_options(std::move(options)), m_period(m_options.period),
      m_session(m_options.dispatcher, m_options.timeouts, m_options.connector)
{
    assert(m_options.dispatcher);
    if (!m_options.wallClock)
        m_options.wallClock = [] { return std::chrono::system_clock::now(); };
}

UnitCore::~UnitCore() = default;

int UnitCore::connect(const std::string &host, int port)
{
    return m_session.connect(host, port);
}

void UnitCore::start(Clock::time_point now)
{
    const Clock::time_point epoch = scheduleEpoch();
    m_next = now < epoch ? now : epoch + ((now - epoch) / m_period) * m_period;
    tick(now);
}

void UnitCore::tick(Clock::time_point now)
{
    if (m_stopped)
        return;
    const Clock::time_point due = m_next;
    m_next += m_period;
    if (m_next <= now) {
        const auto behind = (now - m_next) / m_period + 1;
        m_skipped += std::uint64_t(behind);
        m_next += m_period * behind;
    }
    if (m_cycleRunning) {
        ++m_skipped;
        return;
    }
    m_cycleDue = due;
    startCycle(now);
}

void UnitCore::startCycle(Clock::time_point now)
{
    m_steps.clear();
    m_at = 0;
    if (!m_state) {
        // The start-up reads: the rest follows once the identification is in.
        m_steps.push_back({Item::Identity, 0});
    } else {
        m_plan.takeDue(now, m_period, m_steps);
        m_steps.push_back({Item::Inputs, 0});
    }
    m_cycleRunning = true;
    next();
}

void UnitCore::startupSteps()
{
    m_steps.resize(m_at);
    for (const Step &step : m_plan.items())
        if (step.item != Item::Identity)
            m_steps.push_back(step);
    m_steps.push_back({Item::Inputs, 0});
}

void UnitCore::next()
{
    if (m_at >= m_steps.size()) {
        m_cycleRunning = false;
        return;
    }
    const Step step = m_steps[m_at++];
    m_sent = Clock::now();
    if (!send(step))
        m_cycleRunning = false; // the session stops
}

bool UnitCore::send(Step step)
{
    const int c = step.channel;
    switch (step.item) {
    case Item::Identity: return m_session.getUnitModelID(answer<UnitModelId>(step));
    case Item::Range: return m_session.getAIRange(c, answer<InputRange>(step));
    case Item::AdcRate: return m_session.getADCsps(answer<AdcRate>(step));
    case Item::Threshold: return m_session.getADCThreshold(c, answer<Threshold>(step));
    case Item::Thermocouple: return m_session.getTCSetting(c, answer<ThermocoupleSetting>(step));
    case Item::DOAlert: return m_session.getDOAlert(c, answer<DOAlertState>(step));
    case Item::DOStates: return m_session.getDO(answer<DigitalOutputs>(step));
    case Item::Output: return m_session.getAO(c, answer<AnalogOutput>(step));
    case Item::Inputs:
        if (traits(m_state->model).analogInputs > 0)
            return m_session.getAllAI(answer<AnalogInputs>(step));
        return m_session.getDI(0, answer<DigitalInputs>(step));
    }
    return false;
}

template <typename T>
UnitCore::Done<T> UnitCore::answer(Step step)
{
    return [this, step](Result<T> result) {
        if (!received(step, result))
            return;
        if constexpr (std::is_same_v<T, UnitModelId>) {
            onIdentity(*result);
        } else {
            const Applied applied = apply(*m_state, *result);
            if (!applied.accepted) {
                // A value the model does not have (a range code outside the table): the
                // reply is not taken, and the unit is read afresh.
                failed(LinkError{LinkError::Kind::Malformed, 0});
                return;
            }
            if (applied.changed && step.item != Item::Inputs)
                m_listener.stateChanged(*m_state, step);
            if (step.item == Item::Inputs) {
                onInputs();
                return;
            }
        }
        next();
    };
}

template <typename T>
bool UnitCore::received(Step, const Result<T> &result)
{
    const Clock::time_point now = Clock::now();
    if (!result) {
        if (result.error().kind == LinkError::Kind::TimedOut)
            m_stats.timedOut(now);
        else
            m_stats.failed(now);
        failed(result.error());
        return false;
    }
    m_stats.answered(now - m_sent, now, m_options.wallClock());
    return true;
}

void UnitCore::onIdentity(const UnitModelId &ids)
{
    if (m_state && sameUnit(*m_state, ids)) {
        next();
        return;
    }
    // Unknown so far, or another unit now answers at this address: read afresh before
    // anything is handed out under it.
    std::optional<UnitState> fresh = stateFor(ids);
    if (!fresh) {
        m_state.reset();
        m_cycleRunning = false;
        if (std::exchange(m_unsupportedModel, ids.modelId) != ids.modelId)
            m_listener.unsupportedModel(ids.modelId);
        return;
    }
    m_unsupportedModel = -1;
    // The same unit back after a reconnect keeps what was known, so what the start-up reads
    // find changed is reported as a change.
    m_state = m_lastState && sameUnit(*m_lastState, ids) ? *m_lastState : *fresh;
    m_plan = RereadPlan(m_state->model, m_options.scope);
    m_plan.restart(Clock::now());
    startupSteps();
    next();
}

void UnitCore::onInputs()
{
    m_cycleRunning = false;
    const Clock::time_point now = Clock::now();
    m_lastState = m_state;
    if (m_answering != true) {
        m_answering = true;
        m_listener.answeringChanged(true, nullptr);
    }
    Reading reading{*m_state, m_options.wallClock(), now,
                    now >= m_cycleDue + m_period ? Quality::Late : Quality::Good};
    m_listener.readingTaken(reading);
}

void UnitCore::failed(const LinkError &error)
{
    m_cycleRunning = false;
    // Identified afresh when it answers again: it may have been replaced or reset.
    const bool wasIdentified = m_state.has_value();
    m_state.reset();
    if (m_answering != false) {
        m_answering = false;
        m_listener.answeringChanged(false, &error);
    }
    if (wasIdentified && m_lastState)
        m_listener.readingTaken(Reading{*m_lastState, m_options.wallClock(), Clock::now(), Quality::NoAnswer});
}

bool UnitCore::changeDigitalOutputs(std::function<int(int)> pattern, Done<DigitalOutputs> done)
{
    if (m_stopped || !m_state || m_answering != true)
        return false;
    ++m_commands;
    const auto finish = [this, done](Result<DigitalOutputs> r) {
        --m_commands;
        if (r && m_state)
            apply(*m_state, *r);
        done(r);
    };
    const bool queued = m_session.getDO([this, pattern = std::move(pattern), finish](Result<DigitalOutputs> r) {
        if (!r)
            finish(r);
        else if (!m_session.setDO(pattern(r->pattern), finish))
            finish(LinkError{});
    });
    if (!queued)
        --m_commands;
    return queued;
}

bool UnitCore::setAnalogOutput(int channel, std::function<int(int)> code, Done<AnalogOutput> done)
{
    if (m_stopped || !m_state || m_answering != true)
        return false;
    ++m_commands;
    const auto finish = [this, done](Result<AnalogOutput> r) {
        --m_commands;
        if (r && m_state)
            apply(*m_state, *r);
        done(r);
    };
    const bool queued = m_session.getAO(channel, [this, code = std::move(code), finish](Result<AnalogOutput> r) {
        if (!r)
            finish(r);
        else if (!m_session.setAO(r->channel, r->mode, code(r->mode), finish))
            finish(LinkError{});
    });
    if (!queued)
        --m_commands;
    return queued;
}

} // namespace qn::unit
