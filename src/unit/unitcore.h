#pragma once
// One unit read one way, for the window and the service alike: its session, the schedule of
// its readings, the start-up reads (after every connect and reconnect), the periodic re-read
// of what another client may change (RereadPlan), its state in typed values, its readings
// with their time and quality, and its communication statistics.
//
// A cycle runs one request at a time on the session: at start-up the identification, then
// every item of the plan, then the reading; afterwards the re-reads due, then the reading.
// A unit whose identification changes is read afresh before its next reading, so nothing is
// handed out under the new identity before its state is known. The unit counts as answering
// from its first reading on, not from its identification, so a unit that answers that but no
// reading is reported gone once, not again every period.
//
// Threads: every call, and every listener call, on the owner's thread; the session's
// completions reach it through the dispatcher given (GuiDispatcher in Qt programs,
// LoopDispatcher elsewhere). connect() may run on another thread while nothing else is
// called.
#include "link/unitsession.h"
#include "unit/commstats.h"
#include "unit/reading.h"
#include "unit/rereadplan.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace qn::unit {

class UnitCore final {
public:
    using Clock = std::chrono::steady_clock;
    using WallClock = std::function<std::chrono::system_clock::time_point()>;
    template <typename T>
    using Done = std::function<void(Result<T>)>;

    class Listener {
    public:
        virtual ~Listener() = default;
        // A reading: Good or Late as it came, or NoAnswer (the last values) when a cycle of
        // an identified unit failed.
        virtual void readingTaken(const Reading &reading) = 0;
        // The unit answers readings (again), or stopped answering (error says why).
        virtual void answeringChanged(bool answering, const LinkError *error) = 0;
        // A reply brought another value than the one held (a range or output mode that
        // changed clears its trend series).
        virtual void stateChanged(const UnitState &, Step) {}
        // The identification names a model this program does not read.
        virtual void unsupportedModel(int) {}
    };

    struct Options {
        CompletionDispatcher *dispatcher = nullptr; // required
        SessionTimeouts timeouts{};
        SessionConnector *connector = nullptr;      // TCP when null
        RereadScope scope = RereadScope::Everything;
        Clock::duration period = std::chrono::milliseconds(100);
        WallClock wallClock;                        // the system clock when empty
    };

    UnitCore(Listener &listener, Options options);
    ~UnitCore();
    UnitCore(const UnitCore &) = delete;
    UnitCore &operator=(const UnitCore &) = delete;

    // Blocks while the connection is tried; the address is kept for reconnects.
    int connect(const std::string &host, int port);

    // The schedule: deadlines are whole periods from a moment all cores share, so units of
    // one period fall due together. start() sets the first one (now, rounded down).
    void start(Clock::time_point now);
    void setPeriod(Clock::duration period) { m_period = period; }
    Clock::duration period() const { return m_period; }
    Clock::time_point nextDeadline() const { return m_next; }
    // At a deadline: the next one is set (deadlines already past are skipped, not caught up)
    // and a cycle starts unless one is still running.
    void tick(Clock::time_point now);
    // No further cycles; requests in flight complete.
    void stop() { m_stopped = true; }

    bool busy() const { return m_cycleRunning || m_commands > 0; }
    std::uint64_t skippedPeriods() const { return m_skipped; }
    // While the unit is identified; lastState() also after it went quiet.
    const std::optional<UnitState> &state() const { return m_state; }
    const std::optional<UnitState> &lastState() const { return m_lastState; }
    std::optional<bool> answering() const { return m_answering; }
    const CommStats &stats() const { return m_stats; }

    // Writes between the readings, the result applied to the state: the digital outputs
    // given the pattern `pattern` makes of the present one (GetDO, then SetDO), or an analog
    // output given the code `code` makes of its present mode (GetAO, then SetAO). False when
    // the unit is not answering or the core stops (done does not run then).
    bool changeDigitalOutputs(std::function<int(int pattern)> pattern, Done<DigitalOutputs> done);
    bool setAnalogOutput(int channel, std::function<int(int mode)> code, Done<AnalogOutput> done);

private:
    void startCycle(Clock::time_point now);
    void next();
    bool send(Step step);
    template <typename T>
    Done<T> answer(Step step);
    template <typename T>
    bool received(Step step, const Result<T> &result);
    void onIdentity(const UnitModelId &ids);
    template <typename T>
    void onSetting(Step step, const T &reply);
    void onInputs();
    void failed(const LinkError &error);
    void startupSteps();

    Listener &m_listener;
    Options m_options;
    Clock::duration m_period;
    Clock::time_point m_next{};
    std::uint64_t m_skipped = 0;
    bool m_stopped = false;

    std::optional<UnitState> m_state;
    std::optional<UnitState> m_lastState;
    std::optional<bool> m_answering;
    int m_unsupportedModel = -1;
    RereadPlan m_plan;
    CommStats m_stats;

    bool m_cycleRunning = false;
    std::vector<Step> m_steps;
    std::size_t m_at = 0;
    Clock::time_point m_cycleDue{}; // the deadline the running cycle belongs to
    Clock::time_point m_sent{};
    int m_commands = 0;

    UnitSession m_session; // last: gone first, releasing its completions unrun
};

} // namespace qn::unit
