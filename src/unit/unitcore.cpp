#include "unit/unitcore.h"

#include "unit/cyclerun.h"

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
      m_session(nullptr, m_options.timeouts, m_options.connector)
{
    assert(m_options.post);
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
    auto run = std::make_shared<CycleRun>();
    run->scope = m_options.scope;
    if (!m_state) {
        // The start-up reads: the rest follows once the identification is in.
        run->steps.push_back({Item::Identity, 0});
    } else {
        m_plan.takeDue(now, m_period, run->steps);
        run->steps.push_back({Item::Inputs, 0});
        run->model = m_state->model;
        run->known = UnitModelId{m_state->unitId, traits(m_state->model).modelId};
    }
    m_cycleRunning = true;
    runCycle(m_session, std::move(run), [this, post = m_options.post](std::shared_ptr<CycleRun> done) {
        post([this, done] { complete(*done); });
    });
}

void UnitCore::complete(const CycleRun &run)
{
    const Clock::time_point now = Clock::now();
    const auto wall = m_options.wallClock();
    for (const Answered &a : run.answers) {
        m_stats.answered(a.took, now, wall);
        if (!std::visit([&](const auto &reply) { return take(a.step, reply); }, a.reply)) {
            m_cycleRunning = false;
            return;
        }
    }
    if (run.error) {
        if (run.error->kind == LinkError::Kind::TimedOut)
            m_stats.timedOut(now);
        else
            m_stats.failed(now);
        failed(*run.error);
        return;
    }
    m_cycleRunning = false;
}

template <typename T>
bool UnitCore::take(Step step, const T &reply)
{
    if constexpr (std::is_same_v<T, UnitModelId>) {
        return identified(reply);
    } else {
        if (!m_state)
            return false;
        const Applied applied = apply(*m_state, reply);
        if (!applied.accepted) {
            // A value the model does not have (a range code outside the table): the reply
            // is not taken, and the unit is read afresh.
            failed(LinkError{LinkError::Kind::Malformed, 0});
            return false;
        }
        if (applied.changed && step.item != Item::Inputs)
            m_listener.stateChanged(*m_state, step);
        if (step.item == Item::Inputs)
            onInputs();
        return true;
    }
}

bool UnitCore::identified(const UnitModelId &ids)
{
    if (m_state && sameUnit(*m_state, ids))
        return true;
    // Unknown so far, or another unit now answers at this address: its state is read afresh
    // (the cycle's next replies) before anything is handed out under it.
    std::optional<UnitState> fresh = stateFor(ids);
    if (!fresh) {
        m_state.reset();
        if (std::exchange(m_unsupportedModel, ids.modelId) != ids.modelId)
            m_listener.unsupportedModel(ids.modelId);
        return false;
    }
    m_unsupportedModel = -1;
    // The same unit back after a reconnect keeps what was known, so what the start-up reads
    // find changed is reported as a change.
    m_state = m_lastState && sameUnit(*m_lastState, ids) ? *m_lastState : *fresh;
    m_plan = RereadPlan(m_state->model, m_options.scope);
    m_plan.restart(Clock::now());
    return true;
}

template <typename T, typename F>
UnitCore::Done<T> UnitCore::onOwner(F f)
{
    // On the worker: hand the result over and go on with the next request.
    return [post = m_options.post, f = std::move(f)](Result<T> result) {
        post([f, result = std::move(result)] { f(result); });
    };
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
    const auto finish = [this, done](const Result<DigitalOutputs> &r) {
        --m_commands;
        if (r && m_state)
            apply(*m_state, *r);
        done(r);
    };
    const bool queued = m_session.getDO(onOwner<DigitalOutputs>([this, pattern = std::move(pattern), finish](const Result<DigitalOutputs> &r) {
        if (!r)
            finish(r);
        else if (!m_session.setDO(pattern(r->pattern), onOwner<DigitalOutputs>(finish)))
            finish(LinkError{});
    }));
    if (!queued)
        --m_commands;
    return queued;
}

bool UnitCore::setAnalogOutput(int channel, std::function<int(int)> code, Done<AnalogOutput> done)
{
    if (m_stopped || !m_state || m_answering != true)
        return false;
    ++m_commands;
    const auto finish = [this, done](const Result<AnalogOutput> &r) {
        --m_commands;
        if (r && m_state)
            apply(*m_state, *r);
        done(r);
    };
    const bool queued = m_session.getAO(channel, onOwner<AnalogOutput>([this, code = std::move(code), finish](const Result<AnalogOutput> &r) {
        if (!r)
            finish(r);
        else if (!m_session.setAO(r->channel, r->mode, code(r->mode), onOwner<AnalogOutput>(finish)))
            finish(LinkError{});
    }));
    if (!queued)
        --m_commands;
    return queued;
}

} // namespace qn::unit
